# Webcams, split-screen panel and picture-in-picture frame: sources relative to src/camera.
set(CAMERA_WEBCAM_SOURCES)
