# Document camera control panels: sources relative to src/camera.
set(CAMERA_PANEL_SOURCES)
