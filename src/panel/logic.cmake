# The panel's rules that need no window (portable, unit-tested natively in
# tests/panel) and the About box (Windows).
add_library(tavrel_panel_logic STATIC ${CMAKE_CURRENT_LIST_DIR}/panel_logic.cpp)
target_include_directories(tavrel_panel_logic PUBLIC ${PROJECT_SOURCE_DIR}/src)
if(WIN32)
  # The system's values, checked against the Windows headers.
  target_sources(tavrel_panel_logic PRIVATE ${CMAKE_CURRENT_LIST_DIR}/panel_logic_win.cpp)

  add_library(tavrel_about STATIC ${CMAKE_CURRENT_LIST_DIR}/about_dlg.cpp)
  # IDD_ABOUTBOX comes from the program's resource.h; an executable that runs
  # the box links tavrel_resources for the template itself.
  target_include_directories(tavrel_about PUBLIC ${PROJECT_SOURCE_DIR}/res)
  target_link_libraries(tavrel_about PUBLIC tavrel_framework)
endif()
