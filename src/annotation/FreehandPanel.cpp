#include "FreehandPanel.h"

FreehandPanel::FreehandPanel(QWidget *parent)
    : PenSettingsPanel(AnnotationIntf::FreehandPen, parent)
{
    setObjectName(QStringLiteral("FreehandPanel"));
}
