bandora_add_fuzz_target(NAME osc_dispatch SOURCE ${CMAKE_CURRENT_SOURCE_DIR}/osc_dispatch.cpp
                        LIBS bandora_remote)
