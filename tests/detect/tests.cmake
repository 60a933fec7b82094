# Detection and start-up: Steam's files, the machine, the game folder rule, the command line.
add_wine_gtest(detect_tests ${CMAKE_CURRENT_LIST_DIR}/steam_files_test.cpp ${CMAKE_CURRENT_LIST_DIR}/machine_test.cpp)
