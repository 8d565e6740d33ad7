#include "LinePanel.h"

LinePanel::LinePanel(QWidget *parent)
    : PenSettingsPanel(AnnotationIntf::LinePen, parent)
{
    setObjectName(QStringLiteral("LinePanel"));
}
