#include "SpotlightImpl.h"

SpotlightIntf *SpotlightIntf::getInstance(QWidget *parent)
{
    return SpotlightImpl::getInstance(parent);
}

SpotlightImpl::SpotlightImpl(QWidget *parent)
    : PresenterMaskComponent(parent)
{
    connect(window, &SpotlightWidget::spotClose, this, &SpotlightIntf::spotlightClosed);
}
