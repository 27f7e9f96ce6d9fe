# The skinned dialog base: its placement arithmetic (portable, unit-tested
# natively) and the dialog itself (Windows).
add_library(tavrel_skin_core STATIC ${CMAKE_CURRENT_LIST_DIR}/skin_placement.cpp)
target_include_directories(tavrel_skin_core PUBLIC ${PROJECT_SOURCE_DIR}/src)

if(WIN32)
  add_library(tavrel_skin STATIC ${CMAKE_CURRENT_LIST_DIR}/skinned_dialog.cpp)
  target_link_libraries(tavrel_skin PUBLIC tavrel_framework tavrel_skin_core)
endif()
