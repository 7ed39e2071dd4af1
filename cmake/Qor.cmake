# Shared build settings and helpers for every module.

set(QOR_WARNINGS -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor
    -Wcast-align -Wunused -Woverloaded-virtual -Wnull-dereference
    -Wdouble-promotion -Wformat=2 -Wimplicit-fallthrough)
if(QOR_WERROR)
  list(APPEND QOR_WARNINGS -Werror)
endif()

if(QOR_SANITIZE STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
  add_compile_definitions(QOR_SANITIZED=1)
elseif(QOR_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
  add_compile_definitions(QOR_SANITIZED=1)
elseif(NOT QOR_SANITIZE STREQUAL "")
  message(FATAL_ERROR "QOR_SANITIZE must be address, thread or empty")
endif()

if(QOR_FUZZ)
  # Coverage for the whole tree; only fuzz targets get the libFuzzer main.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
  add_compile_definitions(QOR_SANITIZED=1 QOR_FUZZING=1)
endif()

# Applies the project's warnings to a target of our own.
function(qor_target_defaults target)
  target_compile_options(${target} PRIVATE ${QOR_WARNINGS})
endfunction()

# A deliverable library: built as <NAME>.so in the output folder, loaded by
# name at run time, linking the platform layer.
function(qor_add_module name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_library(${name} SHARED ${ARG_SOURCES})
  set_target_properties(${name} PROPERTIES PREFIX "" OUTPUT_NAME ${name}
                        CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
  target_link_libraries(${name} PRIVATE qorplatform ${ARG_LIBS})
  qor_target_defaults(${name})
endfunction()

# A program in the output folder, linking the platform layer.
function(qor_add_program name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE qorplatform ${ARG_LIBS})
  qor_target_defaults(${name})
endfunction()

# A GoogleTest binary whose cases each run as their own CTest test, in a
# fresh QOR_ROOT / QOR_RUNTIME_DIR (see platform/testing). SERIAL: its cases
# load the whole machine and run while no other test does.
function(qor_add_test name)
  cmake_parse_arguments(ARG "SERIAL" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  if(NOT QOR_TESTS)
    return()
  endif()
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 120)
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE qortesting qorplatform GTest::gtest GTest::gmock ${ARG_LIBS})
  qor_target_defaults(${name})
  set(properties TIMEOUT ${ARG_TIMEOUT})
  if(ARG_LABELS)
    list(APPEND properties LABELS "${ARG_LABELS}")
  endif()
  if(ARG_SERIAL)
    list(APPEND properties RUN_SERIAL TRUE)
  endif()
  gtest_discover_tests(${name}
    WORKING_DIRECTORY ${QOR_BIN_DIR}
    DISCOVERY_TIMEOUT 60
    PROPERTIES ${properties})
endfunction()

# A libFuzzer target, built only with QOR_FUZZ under clang.
function(qor_add_fuzzer name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  if(NOT QOR_FUZZ)
    return()
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${name} PRIVATE qorplatform ${ARG_LIBS})
  qor_target_defaults(${name})
  set_property(GLOBAL APPEND PROPERTY QOR_FUZZERS ${name})
endfunction()
