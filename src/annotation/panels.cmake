# The annotation panels: the tool bar and the settings panels that drive the component, in a
# library of their own so that the canvas library, which the fuzz build instruments, stays free of
# them and of the state machine module.
if(NOT VELORA_FUZZ)
    find_package(Qt6 6.4 REQUIRED COMPONENTS StateMachine)
    add_library(annopanels STATIC
        AnnoPanel.cpp AnnoPanel.h AnnoPanel.ui
        ColorButton.cpp ColorButton.h
        ColorCube.cpp ColorCube.h
        ColorWheel.cpp ColorWheel.h ColorWheelGeometry.h
        FontSizeValidator.cpp FontSizeValidator.h
        FreehandPanel.cpp FreehandPanel.h
        LinePanel.cpp LinePanel.h
        PenSettingsPanel.cpp PenSettingsPanel.h
        ShapePanel.cpp ShapePanel.h
        TextPanel.cpp TextPanel.h
        ToolSettingsPanel.cpp ToolSettingsPanel.h
    )
    target_include_directories(annopanels PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
    target_link_libraries(annopanels PUBLIC annotation Qt6::Widgets PRIVATE Qt6::StateMachine)
endif()
