# Hardening: both builds among planted DLLs and without each system DLL; their PE properties.
add_executable(planting_tests ${CMAKE_CURRENT_LIST_DIR}/planting_test.cpp)
target_link_libraries(planting_tests PRIVATE support GTest::gtest_main)
target_link_options(planting_tests PRIVATE ${LUMIVEX_LINK_FLAGS})
add_dependencies(planting_tests audio_tests LumivexPatchInstaller)
add_script_test(hardening_dll_planting ${CMAKE_CURRENT_LIST_DIR}/dll_planting.sh $<TARGET_FILE:planting_tests>)
add_pe32_test(hardening_dll_planting ${CMAKE_CURRENT_LIST_DIR}/dll_planting.sh $<TARGET_FILE:planting_tests>)
add_script_test(hardening_pe_checks ${CMAKE_CURRENT_LIST_DIR}/pe_checks.py ${LUMIVEX_SHIPPED_EXE})
