#pragma once

#include "PresenterMaskComponent.h"
#include "SpotlightIntf.h"
#include "SpotlightWidget.h"

/// The spotlight component: its window's close button becomes spotlightClosed().
class SpotlightImpl : public PresenterMaskComponent<SpotlightIntf, SpotlightWidget, SpotlightImpl>
{
    friend SharedComponent<SpotlightImpl>;

private:
    explicit SpotlightImpl(QWidget *parent);
    ~SpotlightImpl() override = default;
};
