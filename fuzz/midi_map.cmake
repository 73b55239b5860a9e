bandora_add_fuzz_target(NAME midi_map SOURCE ${CMAKE_CURRENT_SOURCE_DIR}/midi_map.cpp
                        LIBS bandora_remote)
