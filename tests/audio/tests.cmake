add_wine_gtest(audio_tests ${CMAKE_CURRENT_LIST_DIR}/music_test.cpp)
target_link_libraries(audio_tests PRIVATE winmm)

# A winmm.dll planted beside the installer must never run: the music player loads the system's.
add_library(planted_winmm SHARED ${CMAKE_CURRENT_LIST_DIR}/planted_winmm.c)
set_target_properties(planted_winmm PROPERTIES PREFIX "" OUTPUT_NAME winmm
  RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/planted)
target_link_options(planted_winmm PRIVATE -static-libgcc)
add_executable(load_winmm_plainly ${CMAKE_CURRENT_LIST_DIR}/load_winmm_plainly.c)
target_link_options(load_winmm_plainly PRIVATE -municode -static)
add_executable(music_plant_probe ${CMAKE_CURRENT_LIST_DIR}/music_plant_probe.cpp ${LUMIVEX_RESOURCES})
target_link_libraries(music_plant_probe PRIVATE installer_core)
target_link_options(music_plant_probe PRIVATE ${LUMIVEX_LINK_FLAGS} -municode)
add_script_test(music_dll_planting ${CMAKE_CURRENT_LIST_DIR}/dll_planting.sh
  $<TARGET_FILE:planted_winmm> $<TARGET_FILE:load_winmm_plainly> $<TARGET_FILE:music_plant_probe>)

# Plays the track through a real device for tests/audio/music_pulse.sh.
add_executable(music_listen ${CMAKE_CURRENT_LIST_DIR}/music_listen.cpp ${LUMIVEX_RESOURCES})
target_link_libraries(music_listen PRIVATE installer_core)
target_link_options(music_listen PRIVATE ${LUMIVEX_LINK_FLAGS} -municode)
add_script_test(music_pulse ${CMAKE_CURRENT_LIST_DIR}/music_pulse.sh $<TARGET_FILE:music_listen>)
set_tests_properties(music_pulse PROPERTIES SKIP_RETURN_CODE 77)
