# Hardening: DLL planting, executable properties, bad inputs, randomized parsing.
add_script_test(hardening_dll_planting ${CMAKE_CURRENT_LIST_DIR}/dll_planting.sh $<TARGET_FILE:wintool>)
add_script_test(hardening_pe_checks ${CMAKE_CURRENT_LIST_DIR}/pe_checks.sh)
add_pe32_test(hardening_dll_planting ${CMAKE_CURRENT_LIST_DIR}/dll_planting.sh $<TARGET_FILE:wintool>)
