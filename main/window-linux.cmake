# The window program on Linux: needs Qt and both system back-ends.
if(TARGET quorvane_ui_qt AND TARGET quorvane_probes_system AND TARGET quorvane_versioninfo_system)
  add_executable(quorvane ${CMAKE_CURRENT_LIST_DIR}/WindowMainQt.cpp)
  target_link_libraries(quorvane PRIVATE quorvane_ui_qt quorvane_probes_system quorvane_versioninfo_system)
  if(COMMAND quorvane_package_note)
    quorvane_package_note(quorvane)
  endif()
  # The exit page lies beside the executable in the build tree; an
  # installation keeps it in its data folder (see ui/qt/CMakeLists.txt), where
  # the program looks when it is not beside it.
  add_custom_command(TARGET quorvane POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${CMAKE_SOURCE_DIR}/resources/Quorvane.htm
            $<TARGET_FILE_DIR:quorvane>/Quorvane.htm)
  install(TARGETS quorvane RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${CMAKE_SOURCE_DIR}/resources/Quorvane.htm DESTINATION ${CMAKE_INSTALL_DATADIR}/quorvane)
endif()
