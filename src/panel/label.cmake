# The text label and the not-detected warning window that shows one (Windows).
# font_height.cpp is portable; tests/label builds it natively for its unit test.
if(WIN32)
  add_library(tavrel_label STATIC
    ${CMAKE_CURRENT_LIST_DIR}/font_height.cpp
    ${CMAKE_CURRENT_LIST_DIR}/text_label.cpp
    ${CMAKE_CURRENT_LIST_DIR}/popup_warning.cpp
  )
  # The warning's ids come from the program's resource.h; an executable that
  # creates the warning links tavrel_resources for the template itself.
  target_include_directories(tavrel_label PUBLIC ${PROJECT_SOURCE_DIR}/res)
  target_link_libraries(tavrel_label PUBLIC tavrel_dpi tavrel_framework)
endif()
