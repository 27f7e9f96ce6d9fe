# The hover button's look: colour choice, caption centring, style bits.
add_executable(tavrel_button_look_tests
  ${CMAKE_CURRENT_LIST_DIR}/button_look_test.cpp
  ${PROJECT_SOURCE_DIR}/src/controls/button_look.cpp
)
target_include_directories(tavrel_button_look_tests PRIVATE ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(tavrel_button_look_tests PRIVATE GTest::gtest_main)
gtest_discover_tests(tavrel_button_look_tests PROPERTIES LABELS controls)
