# The Setup Hot Keys dialog on dialog 135 (Windows). An executable that runs
# it links tavrel_resources for the template itself.
if(WIN32)
  add_library(tavrel_setup_dlg STATIC ${CMAKE_CURRENT_LIST_DIR}/setup_dlg.cpp)
  target_include_directories(tavrel_setup_dlg PUBLIC ${PROJECT_SOURCE_DIR}/src
                             ${PROJECT_SOURCE_DIR}/res)
  target_link_libraries(tavrel_setup_dlg PUBLIC tavrel_hotkeys tavrel_dpi tavrel_group tavrel_app
                        tavrel_framework user32 gdi32)
endif()
