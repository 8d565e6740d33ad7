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
