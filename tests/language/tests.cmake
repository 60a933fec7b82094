add_wine_gtest(language_tests ${CMAKE_CURRENT_LIST_DIR}/language_window_test.cpp)
