#include "DocCamToolButton.h"

#include <QIcon>
#include <QToolButton>

QToolButton *makeDocCamToolButton(QWidget *parent, const QString &objectName, const QString &text,
                                  const QString &iconPath, bool checkable)
{
    auto *button = new QToolButton(parent);
    button->setObjectName(objectName);
    button->setText(text);
    button->setToolTip(text);
    if (!iconPath.isEmpty())
        button->setIcon(QIcon(iconPath));
    button->setIconSize(QSize(32, 32));
    button->setToolButtonStyle(iconPath.isEmpty() ? Qt::ToolButtonTextOnly
                                                  : Qt::ToolButtonTextUnderIcon);
    button->setCheckable(checkable);
    button->setAutoRaise(true);
    button->setMinimumWidth(72);
    return button;
}

DocCamCommandButtons makeDocCamCommandButtons(QWidget *parent,
                                              const std::array<QString, 7> &objectNames,
                                              const std::array<QString, 7> &texts)
{
    static const char *const icons[]
            = {"focus.png",       "Zoom_In.png", "Zoom_Out.png", "zoom_reset.png",
               "pauseDoccam.png", "rotate.png",  "flip.png"};
    constexpr std::size_t Pause = 4;
    std::array<QToolButton *, 7> made{};
    for (std::size_t i = 0; i < made.size(); ++i)
        made[i] = makeDocCamToolButton(
                parent, objectNames[i], texts[i],
                QStringLiteral(":/Image/pics/docCam/") + QLatin1String(icons[i]), i == Pause);
    return {made[0], made[1], made[2], made[3], made[4], made[5], made[6]};
}
