# The application object and the program itself.
if(WIN32)
  add_library(tavrel_remote_app STATIC ${CMAKE_CURRENT_LIST_DIR}/remote_app.cpp)
  target_link_libraries(tavrel_remote_app PUBLIC tavrel_remote_panel comctl32
                        shell32)

  add_executable(TavrelRemote WIN32 ${CMAKE_CURRENT_LIST_DIR}/main_win.cpp)
  target_link_libraries(TavrelRemote PRIVATE tavrel_remote_app tavrel_resources tavrel_manifest)

  # The help document Help Contents opens lives beside the program.
  set(help_source ${PROJECT_SOURCE_DIR}/res/help/TavrelRemote.html)
  add_custom_command(TARGET TavrelRemote POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${help_source}
            $<TARGET_FILE_DIR:TavrelRemote>/TavrelRemote.html
    COMMENT "Placing the help document beside TavrelRemote.exe")
  set_property(TARGET TavrelRemote APPEND PROPERTY LINK_DEPENDS ${help_source})
endif()
