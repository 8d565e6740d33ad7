# Webcams, split-screen panel and picture-in-picture frame: sources relative to src/camera.
set(CAMERA_WEBCAM_SOURCES
    PipView.cpp PipView.h
    SplitScreenPanel.cpp SplitScreenPanel.h SplitScreenPanel.ui
    WebCamImpl.cpp WebCamImpl.h
    WebCamIntf.h
)
