bandora_add_fuzz_target(NAME safety_files SOURCE ${CMAKE_CURRENT_SOURCE_DIR}/safety_files.cpp
                        LIBS bandora_safety)
