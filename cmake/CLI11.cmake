# CLI11, header-only, reads the command lines of the flasher, the simulator and the tools
# (Debian: libcli11-dev). The cross build must not see the host's /usr/include, where glibc's
# headers live beside it: there the CLI folder alone is linked into the build tree.
add_library(orvix_cli11 INTERFACE)
if(NOT CMAKE_CROSSCOMPILING)
  find_package(CLI11 CONFIG QUIET)
endif()
if(TARGET CLI11::CLI11)
  target_link_libraries(orvix_cli11 INTERFACE CLI11::CLI11)
  return()
endif()

find_path(ORVIX_CLI11_INCLUDE CLI/CLI.hpp PATHS /usr/include /usr/local/include
          NO_CMAKE_FIND_ROOT_PATH)
if(NOT ORVIX_CLI11_INCLUDE)
  message(FATAL_ERROR "CLI11 not found: scripts/bootstrap.sh installs libcli11-dev; elsewhere "
                      "give the folder that holds CLI/CLI.hpp with -DORVIX_CLI11_INCLUDE=")
endif()
if(CMAKE_CROSSCOMPILING)
  set(cli11_dir ${CMAKE_BINARY_DIR}/cli11)
  file(MAKE_DIRECTORY ${cli11_dir})
  file(CREATE_LINK ${ORVIX_CLI11_INCLUDE}/CLI ${cli11_dir}/CLI SYMBOLIC)
  target_include_directories(orvix_cli11 SYSTEM INTERFACE ${cli11_dir})
else()
  target_include_directories(orvix_cli11 SYSTEM INTERFACE ${ORVIX_CLI11_INCLUDE})
endif()
