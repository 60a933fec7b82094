# Installation: decisions as values, the copy on a hidden installer window, a small drive (system_tests.sh).
add_wine_gtest(install_tests ${CMAKE_CURRENT_LIST_DIR}/preflight_test.cpp ${CMAKE_CURRENT_LIST_DIR}/copy_worker_test.cpp)
set_property(TEST install_tests APPEND PROPERTY ENVIRONMENT "GTEST_FILTER=-SmallDrive.*")
add_script_test(install_small_drive ${CMAKE_CURRENT_LIST_DIR}/system_tests.sh $<TARGET_FILE:install_tests>)
set_tests_properties(install_small_drive PROPERTIES SKIP_RETURN_CODE 77)
