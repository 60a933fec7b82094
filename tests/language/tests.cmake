add_wine_gtest(language_tests ${CMAKE_CURRENT_LIST_DIR}/language_window_test.cpp)
add_script_test(language_startup ${CMAKE_CURRENT_LIST_DIR}/language_startup.sh)
add_pe32_test(language_startup ${CMAKE_CURRENT_LIST_DIR}/language_startup.sh)
