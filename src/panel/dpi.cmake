# Sizes for the resolution of a window's screen: the arithmetic (portable,
# unit-tested natively in tests/panel) and the system's view of a window's
# resolution with the layout a dialog carries to another one (Windows).
add_library(tavrel_dpi STATIC ${CMAKE_CURRENT_LIST_DIR}/dpi_scale.cpp)
target_include_directories(tavrel_dpi PUBLIC ${PROJECT_SOURCE_DIR}/src)
if(WIN32)
  target_sources(tavrel_dpi PRIVATE ${CMAKE_CURRENT_LIST_DIR}/window_dpi_win.cpp)
  target_link_libraries(tavrel_dpi PUBLIC user32 gdi32)
endif()
