# The application object and the program itself.
if(WIN32)
  add_library(tavrel_remote_app STATIC ${CMAKE_CURRENT_LIST_DIR}/remote_app.cpp)
  target_link_libraries(tavrel_remote_app PUBLIC tavrel_remote_panel comctl32)

  add_executable(TavrelRemote WIN32 ${CMAKE_CURRENT_LIST_DIR}/main_win.cpp)
  target_link_libraries(TavrelRemote PRIVATE tavrel_remote_app tavrel_resources)
endif()
