#pragma once

#include <QString>
#include <QToolButton>

#include <array>
#include <tuple>

class QWidget;

/// The panels' buttons look alike: a large icon over a short text, readable from the back of a
/// classroom, with the text repeated as the tooltip for the icon-only bar.
QToolButton *makeDocCamToolButton(QWidget *parent, const QString &objectName, const QString &text,
                                  const QString &iconPath, bool checkable = false);

/// The seven picture commands both document camera panels offer, in their forms' order: auto
/// focus, zoom in, zoom out, zoom reset, pause (checkable), rotate, mirror.
using DocCamCommandButtons = std::tuple<QToolButton *, QToolButton *, QToolButton *, QToolButton *,
                                        QToolButton *, QToolButton *, QToolButton *>;

/// Builds the seven with their shared icons; each panel names and labels them as its form does.
DocCamCommandButtons makeDocCamCommandButtons(QWidget *parent,
                                              const std::array<QString, 7> &objectNames,
                                              const std::array<QString, 7> &texts);

/// Connects the seven, in the same order, to the request slots both panels share.
template<typename Panel>
void connectDocCamCommandButtons(Panel *panel, const std::array<QToolButton *, 7> &buttons)
{
    static constexpr void (Panel::*requests[])()
            = {&Panel::autoFocusRequest,   &Panel::zoomInRequest,      &Panel::zoomOutRequest,
               &Panel::zoomResetRequest,   &Panel::visionPauseRequest, &Panel::visionRotateRequest,
               &Panel::visionMirrorRequest};
    for (std::size_t i = 0; i < buttons.size(); ++i)
        QObject::connect(buttons[i], &QToolButton::clicked, panel, requests[i]);
}
