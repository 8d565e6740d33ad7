# Tests of the document camera control panels.
velora_add_test(tst_doccampanels SOURCES tst_doccampanels.cpp LIBRARIES camera resources
    ENVIRONMENT "VELORA_SIMULATED_CAMERAS=")
