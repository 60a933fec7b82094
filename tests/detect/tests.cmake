add_wine_gtest(detect_tests
  ${CMAKE_CURRENT_LIST_DIR}/detect_world.cpp
  ${CMAKE_CURRENT_LIST_DIR}/steam_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/detection_test.cpp)
target_include_directories(detect_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR})
