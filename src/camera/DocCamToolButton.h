#pragma once

#include <QString>

class QToolButton;
class QWidget;

/// The panels' buttons look alike: a large icon over a short text, readable from the back of a
/// classroom, with the text repeated as the tooltip for the icon-only bar.
QToolButton *makeDocCamToolButton(QWidget *parent, const QString &objectName, const QString &text,
                                  const QString &iconPath, bool checkable = false);
