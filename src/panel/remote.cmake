# The remote panel: the program's main window on the blocks above.
if(WIN32)
  add_library(tavrel_remote_panel STATIC ${CMAKE_CURRENT_LIST_DIR}/remote_panel_dlg.cpp)
  target_include_directories(tavrel_remote_panel PUBLIC ${PROJECT_SOURCE_DIR}/src
                             ${PROJECT_SOURCE_DIR}/res)
  target_link_libraries(tavrel_remote_panel PUBLIC
    tavrel_skin tavrel_dpi tavrel_label tavrel_button tavrel_panel_logic tavrel_about tavrel_instance
    tavrel_tray tavrel_setup_dlg tavrel_hotkeys tavrel_app tavrel_device tavrel_framework)
endif()
