# Shared compile settings for every target of the project.
add_library(quoralis_flags INTERFACE)
target_compile_features(quoralis_flags INTERFACE cxx_std_20)
target_compile_options(quoralis_flags INTERFACE
  $<$<COMPILE_LANGUAGE:CXX>:-Wall -Wextra -Wpedantic>
  $<$<COMPILE_LANGUAGE:C>:-Wall -Wextra>)
target_compile_definitions(quoralis_flags INTERFACE
  QUORALIS_VERSION_TEXT="${PROJECT_VERSION}"
  QT_NO_KEYWORDS)
target_include_directories(quoralis_flags INTERFACE ${PROJECT_SOURCE_DIR}/src)

# quoralis_add_library(NAME SOURCES ... LIBS ...)
function(quoralis_add_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_link_libraries(${name} PUBLIC quoralis_flags ${ARG_LIBS})
endfunction()

# quoralis_add_test(NAME SOURCES ... LIBS ...): one QTest executable, run headless by CTest.
function(quoralis_add_test name)
  cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  target_link_libraries(${name} PRIVATE quoralis_flags quoralis_testsupport Qt6::Test ${ARG_LIBS})
  # Tests lay out a program directory from the built one.
  add_dependencies(${name} quoralis_resources)
  add_test(NAME ${name} COMMAND ${name})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES
    TIMEOUT ${ARG_TIMEOUT}
    # Tests never reach past the loopback address; the online tests start their own server.
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QUORALIS_PROGRAM_DIR=${QUORALIS_PROGRAM_DIR};QUORALIS_SOURCE_DIR=${PROJECT_SOURCE_DIR};QUORALIS_SERVER=127.0.0.1:1;XDG_CONFIG_HOME=${CMAKE_BINARY_DIR}/test-config")
endfunction()

# Every Windows program carries the manifest that makes it long-path aware: add
# ${QUORALIS_LONG_PATH_MANIFEST} to its sources (empty elsewhere).
set(QUORALIS_LONG_PATH_MANIFEST "")
if(WIN32)
  enable_language(RC)
  set(QUORALIS_LONG_PATH_MANIFEST_FILE ${PROJECT_SOURCE_DIR}/resources/windows/longpathaware.manifest)
  configure_file(${PROJECT_SOURCE_DIR}/resources/windows/longpathaware.rc.in ${CMAKE_BINARY_DIR}/longpathaware.rc @ONLY)
  set(QUORALIS_LONG_PATH_MANIFEST ${CMAKE_BINARY_DIR}/longpathaware.rc)
endif()
