# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the build folder BUILD_DIR into a fresh PREFIX, checks that every file is where the
# desktop looks for it, and runs the installed programs from there:
#   cmake -DBUILD_DIR=build -DPREFIX=/tmp/p -DAPPSTREAMCLI=appstreamcli \
#         -P tests/install/CheckInstall.cmake
# (without APPSTREAMCLI the installed AppStream metadata is not validated).
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX}
  RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${result}")
endif()

foreach(file
    bin/brindle
    bin/brindle-cli
    share/brindle/help/contexthelp.htm
    share/applications/org.example.brindle.desktop
    share/metainfo/org.example.brindle.metainfo.xml
    share/mime/packages/brindle.xml
    share/icons/hicolor/scalable/apps/brindle.svg
    share/man/man1/brindle.1.gz
    share/man/man1/brindle-cli.1.gz
    share/doc/brindle/copyright
    share/doc/brindle/changelog.gz)
  if(NOT EXISTS ${PREFIX}/${file})
    message(FATAL_ERROR "missing after cmake --install: ${file}")
  endif()
endforeach()

# The installed AppStream metadata, with the desktop entry it names as its launchable.
if(APPSTREAMCLI)
  execute_process(COMMAND ${APPSTREAMCLI} validate-tree --no-net ${PREFIX}
    RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "appstreamcli validate-tree of the installation: ${result}\n${out}")
  endif()
endif()

# Nothing of the build (libraries, tests, benchmarks) is installed.
file(GLOB_RECURSE installed RELATIVE ${PREFIX} ${PREFIX}/*)
foreach(file ${installed})
  if(file MATCHES "\\.a$|test|bench")
    message(FATAL_ERROR "installed by mistake: ${file}")
  endif()
endforeach()

execute_process(COMMAND ${PREFIX}/bin/brindle-cli --help
  RESULT_VARIABLE result OUTPUT_VARIABLE out)
if(NOT result EQUAL 0 OR NOT out MATCHES "^Usage: brindle-cli")
  message(FATAL_ERROR "installed brindle-cli --help: ${result}\n${out}")
endif()

# The window opens on a new document and the program ends once it has been painted; a private
# home keeps the settings, the desktop entry and the recent files of the test to itself.
set(ENV{HOME} ${PREFIX}/home)
set(ENV{XDG_CONFIG_HOME} ${PREFIX}/home/config)
set(ENV{XDG_DATA_HOME} ${PREFIX}/home/data)
set(ENV{XDG_RUNTIME_DIR} ${PREFIX}/home/run)
file(MAKE_DIRECTORY ${PREFIX}/home/run)
file(CHMOD ${PREFIX}/home/run DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
execute_process(COMMAND ${PREFIX}/bin/brindle --quit-after-show
  RESULT_VARIABLE result TIMEOUT 60)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "installed brindle --quit-after-show: ${result}")
endif()
file(REMOVE_RECURSE ${PREFIX})
