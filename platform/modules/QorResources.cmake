# Resources embedded in a module or program (see qor/module.h):
#
#   qor_embed_resources(<target>
#       [RCDATA <id-or-name> <file>]...
#       [RESOURCE <type-id-or-name> <id-or-name> <file>]...
#       [STRINGS <file>]...)
#
# Relative files are taken from the calling folder. Call once per target.
# qorrc stands alone (only the support library), so modules' resources build
# even while the platform library is broken.
add_executable(qorrc ${CMAKE_CURRENT_LIST_DIR}/tools/qorrc.cpp)
target_link_libraries(qorrc PRIVATE qorsupport)
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
    else()
      message(FATAL_ERROR "qor_embed_resources(${target}): expected RCDATA, RESOURCE or STRINGS, got '${kind}'")
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
