#pragma once

#include "PresenterMaskComponent.h"
#include "VisorIntf.h"
#include "VisorWidget.h"

/// The visor component: its window's close button becomes visorClosed().
class VisorImpl : public PresenterMaskComponent<VisorIntf, VisorWidget, VisorImpl>
{
    friend SharedComponent<VisorImpl>;

private:
    explicit VisorImpl(QWidget *parent);
    ~VisorImpl() override = default;
};
