#include "VisorImpl.h"

VisorIntf *VisorIntf::getInstance(QWidget *parent)
{
    return VisorImpl::getInstance(parent);
}

VisorImpl::VisorImpl(QWidget *parent)
    : PresenterMaskComponent(parent)
{
    connect(window, &VisorWidget::visorClose, this, &VisorIntf::visorClosed);
}
