add_wine_gtest(spine_tests
  ${CMAKE_CURRENT_LIST_DIR}/texts_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/paths_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/startup_test.cpp)
add_script_test(startup_window ${CMAKE_CURRENT_LIST_DIR}/startup_window.sh)
add_pe32_test(startup_window ${CMAKE_CURRENT_LIST_DIR}/startup_window.sh)
