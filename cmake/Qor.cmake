# Shared build settings and helpers for every module.

set(QOR_WARNINGS -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor
    -Wcast-align -Wunused -Woverloaded-virtual -Wnull-dereference
    -Wdouble-promotion -Wformat=2 -Wimplicit-fallthrough)
if(QOR_WERROR)
  list(APPEND QOR_WARNINGS -Werror)
endif()

# LLVM's linker links the many test programs several times faster than the
# default one; the result is the same.
include(CheckLinkerFlag)
check_linker_flag(CXX "-fuse-ld=lld" QOR_HAVE_LLD)
if(QOR_HAVE_LLD)
  add_link_options(-fuse-ld=lld)
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
  # Beside QOR_SANITIZE=address the same objects serve the tests and the
  # fuzz targets, so one build does for both.
  if(NOT QOR_SANITIZE STREQUAL "address")
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
    add_compile_definitions(QOR_SANITIZED=1)
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

# Applies the project's warnings to a target of our own.
function(qor_target_defaults target)
  target_compile_options(${target} PRIVATE ${QOR_WARNINGS})
endfunction()

# A platform area's private headers, for that area's own tests, benchmarks
# and fuzz targets (qor_platform_private(<target> <area>...)); never for a
# module or program, which see only the areas' include/ folders.
function(qor_platform_private target)
  foreach(area ${ARGN})
    target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR}/platform/${area}/src)
  endforeach()
endfunction()

# Sets <var> TRUE when every named target exists. A target may be missing
# only while QOR_ONLY narrows the build; then what needs it is left out with a
# message. Otherwise configuring stops, so no test or tool is dropped silently.
function(qor_needs var)
  foreach(target ${ARGN})
    if(NOT TARGET ${target})
      if(NOT QOR_ONLY)
        message(FATAL_ERROR "${CMAKE_CURRENT_SOURCE_DIR} needs ${target}, which is not defined")
      endif()
      message(STATUS "QOR_ONLY leaves out part of ${CMAKE_CURRENT_SOURCE_DIR} (needs ${target})")
      set(${var} FALSE PARENT_SCOPE)
      return()
    endif()
  endforeach()
  set(${var} TRUE PARENT_SCOPE)
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
  cmake_parse_arguments(ARG "SERIAL" "TIMEOUT" "SOURCES;LIBS;LABELS;AREAS" ${ARGN})
  if(NOT QOR_TESTS)
    return()
  endif()
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 120)
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE qortesting qorplatform GTest::gtest GTest::gmock ${ARG_LIBS})
  qor_platform_private(${name} ${ARG_AREAS})
  qor_target_defaults(${name})
  set(properties TIMEOUT ${ARG_TIMEOUT})
  if(ARG_LABELS)
    list(APPEND properties LABELS "${ARG_LABELS}")
  endif()
  if(QOR_SANITIZE STREQUAL "address")
    # Also for the programs the tests start: they inherit it. Without the
    # count of suppressed leaks, a program's stderr is what it wrote.
    list(APPEND properties ENVIRONMENT
         "LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/scripts/lsan.supp:print_suppressions=0")
  endif()
  if(ARG_SERIAL)
    list(APPEND properties RUN_SERIAL TRUE)
  endif()
  gtest_discover_tests(${name}
    WORKING_DIRECTORY ${QOR_BIN_DIR}
    DISCOVERY_TIMEOUT 60
    PROPERTIES ${properties})
endfunction()

# A folder of tests: each test_<name>.cpp becomes the test binary
# <prefix>_<name>, each helper_<name>.cpp the program <helper-prefix>_helper_<name>
# that those tests start as a separate process.
#   qor_add_test_folder(<folder> <prefix> [HELPER_PREFIX p] [TIMEOUT s]
#                       [LIBS ...] [LABELS ...] [AREAS ...] [DEPENDS ...] [DEFINITIONS ...])
function(qor_add_test_folder folder prefix)
  cmake_parse_arguments(ARG "" "TIMEOUT;HELPER_PREFIX" "LIBS;LABELS;AREAS;DEPENDS;DEFINITIONS" ${ARGN})
  if(NOT QOR_TESTS)
    return()
  endif()
  if(NOT ARG_HELPER_PREFIX)
    set(ARG_HELPER_PREFIX ${prefix})
  endif()
  file(GLOB helpers CONFIGURE_DEPENDS ${folder}/helper_*.cpp)
  set(helper_targets)
  foreach(src ${helpers})
    get_filename_component(name ${src} NAME_WE)
    qor_add_program(${ARG_HELPER_PREFIX}_${name} SOURCES ${src})
    list(APPEND helper_targets ${ARG_HELPER_PREFIX}_${name})
  endforeach()
  file(GLOB tests CONFIGURE_DEPENDS ${folder}/test_*.cpp)
  foreach(src ${tests})
    get_filename_component(name ${src} NAME_WE)
    string(REGEX REPLACE "^test_" "${prefix}_" target ${name})
    qor_add_test(${target} SOURCES ${src} LIBS ${ARG_LIBS} LABELS ${ARG_LABELS} AREAS ${ARG_AREAS}
                 TIMEOUT ${ARG_TIMEOUT})
    if(ARG_DEFINITIONS)
      target_compile_definitions(${target} PRIVATE ${ARG_DEFINITIONS})
    endif()
    if(helper_targets OR ARG_DEPENDS)
      add_dependencies(${target} ${helper_targets} ${ARG_DEPENDS})
    endif()
  endforeach()
endfunction()

# A libFuzzer target, built only with QOR_FUZZ under clang.
function(qor_add_fuzzer name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;AREAS;INCLUDES" ${ARGN})
  if(NOT QOR_FUZZ)
    return()
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${name} PRIVATE qorplatform ${ARG_LIBS})
  qor_platform_private(${name} ${ARG_AREAS})
  target_include_directories(${name} PRIVATE ${ARG_INCLUDES})
  qor_target_defaults(${name})
  set_property(GLOBAL APPEND PROPERTY QOR_FUZZERS ${name})
endfunction()

# The window part of a program on the desktop layer: its sources and its
# resource script as an OBJECT library, so that the program and its window
# tests each carry the script's resource table (a null module handle finds
# it; see docs/desktop.md).
#   qor_add_window_part(<part> SCRIPT <file.rc> SOURCES ... LIBS ...)
function(qor_add_window_part part)
  cmake_parse_arguments(ARG "" "SCRIPT" "SOURCES;LIBS" ${ARGN})
  find_package(Qt6 REQUIRED COMPONENTS Widgets Test)
  add_library(${part} OBJECT ${ARG_SOURCES})
  cmake_path(GET ARG_SCRIPT PARENT_PATH script_dir)
  target_include_directories(${part} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/${script_dir})
  target_link_libraries(${part} PUBLIC ${ARG_LIBS} qorui)
  qor_target_defaults(${part})
  qor_embed_resources(${part} SCRIPT ${ARG_SCRIPT})
endfunction()

# A program or test that links a window part: its resource table must be
# visible to the module loader.
function(qor_uses_window_part target part)
  target_link_libraries(${target} PRIVATE ${part})
  target_link_options(${target} PRIVATE "LINKER:--export-dynamic-symbol=QorResources")
endfunction()
