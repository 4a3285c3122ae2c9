# The report command. Its logic builds and is tested without the back-ends; the
# program needs both system back-ends.
add_library(quorvane_reportcommand STATIC ${CMAKE_CURRENT_LIST_DIR}/ReportCommand.cpp
                                         ${CMAKE_CURRENT_LIST_DIR}/JsonReport.cpp)
target_link_libraries(quorvane_reportcommand PUBLIC quorvane_report quorvane_catalogue quorvane_versioninfo
                                                    quorvane_common PRIVATE quorvane_json)
target_compile_definitions(quorvane_reportcommand PRIVATE QUORVANE_VERSION="${PROJECT_VERSION}")

if(TARGET quorvane_probes_system AND TARGET quorvane_versioninfo_system AND TARGET quorvane_trust_system)
  add_executable(quorvane-report ${CMAKE_CURRENT_LIST_DIR}/ReportMain.cpp)
  target_link_libraries(quorvane-report PRIVATE quorvane_reportcommand quorvane_probes_system
                                                quorvane_versioninfo_system quorvane_trust_system)
  if(COMMAND quorvane_package_note)
    quorvane_package_note(quorvane-report)
  endif()
  install(TARGETS quorvane-report RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
