# The window program on Windows: one statically linked file with its icon,
# version resource and manifest; the exit page lies beside it.
if(TARGET quorvane_ui_win32 AND TARGET quorvane_probes_system AND TARGET quorvane_versioninfo_system)
  add_executable(quorvane WIN32 ${CMAKE_CURRENT_LIST_DIR}/WindowMainWin32.cpp
                                ${CMAKE_CURRENT_LIST_DIR}/WindowSnapshotWin32.cpp)
  target_link_libraries(quorvane PRIVATE quorvane_ui_win32 quorvane_probes_system quorvane_versioninfo_system
                                         windowscodecs ole32 uuid)
  quorvane_add_program_resources(quorvane)
  quorvane_add_program_icon(quorvane)
  add_custom_command(TARGET quorvane POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${CMAKE_SOURCE_DIR}/resources/Quorvane.htm
            $<TARGET_FILE_DIR:quorvane>/Quorvane.htm)
  # The program opens the exit page beside itself: both go into one folder.
  install(TARGETS quorvane RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${CMAKE_SOURCE_DIR}/resources/Quorvane.htm DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
