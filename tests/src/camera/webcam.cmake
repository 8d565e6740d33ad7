# Tests of the webcam component, split-screen panel and picture-in-picture frame.
velora_add_test(tst_webcam SOURCES tst_webcam.cpp LIBRARIES camera resources
    ENVIRONMENT "VELORA_SIMULATED_CAMERAS=")
