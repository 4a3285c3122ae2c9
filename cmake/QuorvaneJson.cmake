# quorvane_json: nlohmann-json, the JSON library (header-only) of both builds.
# The native build uses its CMake package. The cross build must not put the
# host's include folder on its include path (the host's C library headers
# would shadow mingw's), so the headers of the host's package are copied into
# the build tree and only that copy is put on the path.
if(CMAKE_CROSSCOMPILING)
  find_package(nlohmann_json REQUIRED NO_CMAKE_FIND_ROOT_PATH)
  get_target_property(QuorvaneJsonHostIncludes nlohmann_json::nlohmann_json INTERFACE_INCLUDE_DIRECTORIES)
  find_path(QuorvaneJsonHostInclude nlohmann/json.hpp PATHS ${QuorvaneJsonHostIncludes}
            NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
  if(NOT QuorvaneJsonHostInclude)
    message(FATAL_ERROR "nlohmann/json.hpp not found (Debian package nlohmann-json3-dev)")
  endif()
  set(QuorvaneJsonCopy ${CMAKE_BINARY_DIR}/third-party/include)
  file(COPY ${QuorvaneJsonHostInclude}/nlohmann DESTINATION ${QuorvaneJsonCopy})
  add_library(quorvane_json INTERFACE)
  target_include_directories(quorvane_json SYSTEM INTERFACE ${QuorvaneJsonCopy})
else()
  find_package(nlohmann_json REQUIRED)
  add_library(quorvane_json INTERFACE)
  target_link_libraries(quorvane_json INTERFACE nlohmann_json::nlohmann_json)
endif()
