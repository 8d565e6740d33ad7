#pragma once

#include "PenSettingsPanel.h"

/// The pen settings of the freehand tool.
class FreehandPanel : public PenSettingsPanel
{
    Q_OBJECT

public:
    explicit FreehandPanel(QWidget *parent = nullptr);
};
