#pragma once

#include "PenSettingsPanel.h"

/// The pen settings of the line tool.
class LinePanel : public PenSettingsPanel
{
    Q_OBJECT

public:
    explicit LinePanel(QWidget *parent = nullptr);
};
