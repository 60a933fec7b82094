add_wine_gtest(chooser_tests ${CMAKE_CURRENT_LIST_DIR}/chooser_test.cpp)
target_link_libraries(chooser_tests PRIVATE support)
