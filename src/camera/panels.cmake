# Document camera control panels: sources relative to src/camera.
set(CAMERA_PANEL_SOURCES
    DocCamActionStatus.h
    DocCamAdjustToolsPanel.cpp DocCamAdjustToolsPanel.h
    DocCamControlPanel.cpp DocCamControlPanel.h
    DocCamToolButton.cpp DocCamToolButton.h
    SetValueSlider.cpp SetValueSlider.h
    WidgetModeDocCamCtrlPanel.cpp WidgetModeDocCamCtrlPanel.h
)
