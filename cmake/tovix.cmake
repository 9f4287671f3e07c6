# Shared helpers for the project's CMake files.

# tovix_gtest(NAME src... [LIBS lib...] [DIR subfolder])
# One GoogleTest program run as one CTest test (under Wine when cross-built),
# in the tests' folder (bin/tests, where copies of the program and its
# libraries stand). DIR puts it into a subfolder of that, for tests that need
# other libraries beside them than the real ones.
function(tovix_gtest name)
  cmake_parse_arguments(T "" "DIR" "LIBS" ${ARGN})
  add_executable(${name} ${T_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE ${T_LIBS} gtest gmock gtest_main)
  if(WIN32)
    target_link_options(${name} PRIVATE -mconsole)
  endif()
  if(WIN32)
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${TOVIX_TEST_BIN}/${T_DIR})
  endif()
  add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
  set_tests_properties(${name} PROPERTIES TIMEOUT 600)
endfunction()

# tovix_def_dll(NAME DEF src... [LIBS ...] [DIR subfolder])
# A DLL with undecorated stdcall exports from a .def file, no "lib" prefix.
# DIR: a test double, in that subfolder of the tests' folder.
function(tovix_def_dll name def)
  cmake_parse_arguments(T "" "DIR;OUTPUT_NAME" "LIBS" ${ARGN})
  add_library(${name} SHARED ${T_UNPARSED_ARGUMENTS} ${def})
  set_target_properties(${name} PROPERTIES PREFIX "")
  if(T_OUTPUT_NAME)
    set_target_properties(${name} PROPERTIES OUTPUT_NAME ${T_OUTPUT_NAME})
  endif()
  target_link_options(${name} PRIVATE -Wl,--enable-stdcall-fixup -Wl,--kill-at)
  if(T_LIBS)
    target_link_libraries(${name} PRIVATE ${T_LIBS})
  endif()
  if(T_DIR)
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${TOVIX_TEST_BIN}/${T_DIR}
                                             LIBRARY_OUTPUT_DIRECTORY ${TOVIX_TEST_BIN}/${T_DIR})
  endif()
endfunction()

# tovix_script_test(NAME script.sh [WINDOWS])
# A shell test that drives the real programs and libraries under Wine and
# compares with other tools. The script sources tests/tools/lib.sh.
# WINDOWS: the test takes its turn on the build's shared prefix: the desktop
# whose foreground a window shown takes, the windows found by class name, the
# clipboard, the DDE service names, the cursor. Every test there that shows a
# window or uses one of these holds the lock tovix_desktop (GoogleTest
# programs through set_property(TEST ... APPEND PROPERTY RESOURCE_LOCK ...)).
# Tests with a prefix of their own (tests/tools/lib.sh own_prefix) need no turn.
function(tovix_script_test name script)
  cmake_parse_arguments(T "WINDOWS" "" "" ${ARGN})
  add_test(NAME ${name} COMMAND bash ${CMAKE_SOURCE_DIR}/tests/tools/run-script.sh ${CMAKE_CURRENT_SOURCE_DIR}/${script})
  set_tests_properties(${name} PROPERTIES TIMEOUT 900 ENVIRONMENT
    "BIN=${TOVIX_TEST_BIN};SCRATCH=${CMAKE_BINARY_DIR}/scratch/${name};TOOLS=${CMAKE_SOURCE_DIR}/tests/tools;SRC=${CMAKE_SOURCE_DIR};WINE_RUN=${CMAKE_SOURCE_DIR}/cmake/wine-run.sh ${TOVIX_WINE} ${CMAKE_BINARY_DIR}")
  if(T_WINDOWS)
    set_tests_properties(${name} PROPERTIES RESOURCE_LOCK tovix_desktop)
  endif()
endfunction()

# tovix_fuzz(NAME src... [LIBS lib...])
# A libFuzzer target for the native clang build. The format code it reaches
# and the shared text, file and CRC code are compiled into the target itself,
# so that every line has the fuzzer's coverage and the sanitizers; a prebuilt
# library would leave it uninstrumented. Any sanitizer report ends the run
# with a failure instead of a line in the log.
function(tovix_fuzz name)
  cmake_parse_arguments(T "" "" "LIBS" ${ARGN})
  set(_flags -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all)
  add_executable(${name} ${T_UNPARSED_ARGUMENTS} ${TOVIX_COMMON_SOURCES})
  target_include_directories(${name} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR} ${TOVIX_COMMON_DIR} ${ARC_DIR}/api)
  target_compile_options(${name} PRIVATE ${_flags} -g -O1)
  target_link_options(${name} PRIVATE ${_flags})
  if(T_LIBS)
    target_link_libraries(${name} PRIVATE ${T_LIBS})
  endif()
endfunction()
