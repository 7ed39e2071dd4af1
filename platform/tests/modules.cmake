# Tests of the platform's base half that need more than one test_*.cpp:
# the threaded memory test (labelled for TSan runs) and the modules the
# loader tests load.
qor_add_test(platform_memory_threads SOURCES threads_memory.cpp LIBS qorplatform_internal LABELS threads)
