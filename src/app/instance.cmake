# The single-instance guard (Windows only): a named start-up mutex and a named
# 4-byte block that holds the first copy's main window.
if(WIN32)
  add_library(tavrel_instance STATIC ${CMAKE_CURRENT_LIST_DIR}/instance_checker.cpp)
  target_link_libraries(tavrel_instance PUBLIC tavrel_framework)
endif()
