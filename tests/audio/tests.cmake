# The decoder and the player without a sound device; tests/hardening also runs it among planted DLLs.
add_wine_gtest(audio_tests ${CMAKE_CURRENT_LIST_DIR}/music_test.cpp)
