# Hardening: DLL planting, executable properties, bad inputs, randomized parsing.
add_script_test(hardening_dll_planting ${CMAKE_CURRENT_LIST_DIR}/dll_planting.sh $<TARGET_FILE:wintool>)
add_script_test(hardening_pe_checks ${CMAKE_CURRENT_LIST_DIR}/pe_checks.sh)
add_wine_gtest(hardening_fuzz ${CMAKE_CURRENT_LIST_DIR}/parse_fuzz_test.cpp)
set_tests_properties(hardening_fuzz PROPERTIES ENVIRONMENT "${LUMIVEX_HARNESS_ENV};LUMIVEX_FUZZ_SECONDS=20")
target_link_libraries(hardening_fuzz PRIVATE psapi)
add_wine_gtest(hardening_bad_inputs ${CMAKE_CURRENT_LIST_DIR}/bad_inputs_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../detect/detect_world.cpp)
target_include_directories(hardening_bad_inputs PRIVATE ${CMAKE_CURRENT_LIST_DIR}/../detect ${CMAKE_CURRENT_LIST_DIR}/../install)
target_link_libraries(hardening_bad_inputs PRIVATE install_fixture)
add_dependencies(hardening_bad_inputs install_recorder)
add_pe32_test(hardening_dll_planting ${CMAKE_CURRENT_LIST_DIR}/dll_planting.sh $<TARGET_FILE:wintool>)
