# Tests of the platform's base half that need more than one test_*.cpp:
# the threaded test (labelled for TSan runs) and the modules the loader
# tests load.
qor_add_test(platform_base_threads SOURCES threads_base.cpp LIBS qorplatform_internal LABELS threads)

qor_add_module(QORTESTMOD SOURCES modules/counted_module.cpp)
qor_add_module(QORTESTREFUSE SOURCES modules/refusing_module.cpp)
qor_add_module(QORTESTRES SOURCES modules/resource_module.cpp)
qor_embed_resources(QORTESTRES
  RCDATA 100 modules/glyphs.bin
  RESOURCE GlyphSet Main modules/glyphs.bin
  STRINGS modules/strings.txt)

if(TARGET platform_module)
  qor_embed_resources(platform_module STRINGS modules/program_strings.txt)
  target_compile_definitions(platform_module PRIVATE
    QORTEST_GLYPHS="${CMAKE_CURRENT_SOURCE_DIR}/modules/glyphs.bin")
  add_dependencies(platform_module QORTESTMOD QORTESTREFUSE QORTESTRES)
endif()
add_dependencies(platform_base_threads QORTESTRES)
if(TARGET platform_qorrc)
  add_dependencies(platform_qorrc qorrc)
endif()
