# Resources embedded in a module or program (see qor/module.h):
#
#   qor_embed_resources(<target>
#       [RCDATA <id-or-name> <file>]...
#       [RESOURCE <type-id-or-name> <id-or-name> <file>]...
#       [STRINGS <file>]...
#       [SCRIPT <file.rc>]...
#       [INCLUDE <dir>]...)
#
# A SCRIPT is a resource script (dialogs, menus, accelerators, string tables,
# icons, version records); its #include files are found beside it, then in
# the INCLUDE folders. The headers beside the script count as its inputs.
# Relative files are taken from the calling folder. Call once per target.
# qorrc stands alone (only the support library), so modules' resources build
# even while the platform library is broken.
set(qorrc_dir ${CMAKE_CURRENT_LIST_DIR}/tools)
add_library(qorrc_core STATIC
  ${qorrc_dir}/rc_lexer.cpp ${qorrc_dir}/rc_constants.cpp ${qorrc_dir}/rc_script.cpp
  ${qorrc_dir}/rc_dialog.cpp ${qorrc_dir}/rc_menu.cpp ${qorrc_dir}/rc_accelerators.cpp
  ${qorrc_dir}/rc_version.cpp ${qorrc_dir}/rc_icon.cpp ${qorrc_dir}/rc_strings.cpp)
target_include_directories(qorrc_core PUBLIC ${qorrc_dir})
target_link_libraries(qorrc_core PUBLIC qorsupport)
qor_target_defaults(qorrc_core)
add_executable(qorrc ${qorrc_dir}/qorrc.cpp)
target_link_libraries(qorrc PRIVATE qorrc_core)
qor_target_defaults(qorrc)

function(qor_embed_resources target)
  set(args)
  set(inputs)
  set(rest ${ARGN})
  while(rest)
    list(POP_FRONT rest kind)
    if(kind STREQUAL "RCDATA")
      list(POP_FRONT rest name file)
      cmake_path(ABSOLUTE_PATH file BASE_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR})
      list(APPEND args --rcdata ${name} ${file})
    elseif(kind STREQUAL "RESOURCE")
      list(POP_FRONT rest type name file)
      cmake_path(ABSOLUTE_PATH file BASE_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR})
      list(APPEND args --resource ${type} ${name} ${file})
    elseif(kind STREQUAL "STRINGS")
      list(POP_FRONT rest file)
      cmake_path(ABSOLUTE_PATH file BASE_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR})
      list(APPEND args --strings ${file})
    elseif(kind STREQUAL "SCRIPT")
      list(POP_FRONT rest file)
      cmake_path(ABSOLUTE_PATH file BASE_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR})
      list(APPEND args --rc ${file})
      cmake_path(GET file PARENT_PATH script_dir)
      file(GLOB script_headers ${script_dir}/*.h)
      list(APPEND inputs ${script_headers})
    elseif(kind STREQUAL "INCLUDE")
      list(POP_FRONT rest file)
      cmake_path(ABSOLUTE_PATH file BASE_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR})
      list(APPEND args -I ${file})
      continue()
    else()
      message(FATAL_ERROR "qor_embed_resources(${target}): expected RCDATA, RESOURCE, STRINGS, SCRIPT or INCLUDE, got '${kind}'")
    endif()
    if(NOT file)
      message(FATAL_ERROR "qor_embed_resources(${target}): ${kind} is missing arguments")
    endif()
    list(APPEND inputs ${file})
  endwhile()
  set(out ${CMAKE_CURRENT_BINARY_DIR}/${target}_resources.cpp)
  add_custom_command(OUTPUT ${out}
    COMMAND qorrc -o ${out} ${args}
    DEPENDS qorrc ${inputs}
    COMMENT "Embedding resources of ${target}"
    VERBATIM)
  target_sources(${target} PRIVATE ${out})
  # A program's table function must be visible to dlsym on the main program.
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "EXECUTABLE")
    target_link_options(${target} PRIVATE "LINKER:--export-dynamic-symbol=QorResources")
  endif()
endfunction()
