# The two windows in this process: decisions, pixels, and the installer window's keys.
add_wine_gtest(ui_tests ${CMAKE_CURRENT_LIST_DIR}/window_test.cpp)
