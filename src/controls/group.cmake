# The Setup Hot Keys dialog's controls: the check box that switches a group of
# controls on and off, and the drop-down list that opens as wide as its
# longest entry.
add_library(tavrel_group STATIC
  ${CMAKE_CURRENT_LIST_DIR}/group_enable_check.cpp
  ${CMAKE_CURRENT_LIST_DIR}/wide_drop_combo.cpp
)
target_link_libraries(tavrel_group PUBLIC tavrel_dpi tavrel_framework)
