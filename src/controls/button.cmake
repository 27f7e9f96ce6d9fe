# The panel's hover push button; its tooltip comes from the common controls.
add_library(tavrel_button STATIC
  ${CMAKE_CURRENT_LIST_DIR}/hover_button.cpp
  ${CMAKE_CURRENT_LIST_DIR}/button_look.cpp
)
target_link_libraries(tavrel_button PUBLIC tavrel_dpi tavrel_framework comctl32 shell32)
