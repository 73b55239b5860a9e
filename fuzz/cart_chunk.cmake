bandora_add_fuzz_target(NAME cart_chunk SOURCE ${CMAKE_CURRENT_SOURCE_DIR}/cart_chunk.cpp LIBS bandora_carts)
