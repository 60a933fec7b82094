add_wine_gtest(spine_tests
  ${CMAKE_CURRENT_LIST_DIR}/texts_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/paths_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/startup_test.cpp)
