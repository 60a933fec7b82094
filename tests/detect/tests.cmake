add_wine_gtest(detect_tests
  ${CMAKE_CURRENT_LIST_DIR}/detect_world.cpp
  ${CMAKE_CURRENT_LIST_DIR}/steam_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/detection_test.cpp)
target_include_directories(detect_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR})

# Timing of one detection pass; run by hand (tests/harness/wine-run.sh <build> detect_bench.exe).
add_executable(detect_bench ${CMAKE_CURRENT_LIST_DIR}/detect_bench.cpp ${CMAKE_CURRENT_LIST_DIR}/detect_world.cpp)
target_include_directories(detect_bench PRIVATE ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(detect_bench PRIVATE test_support installer_core)
target_link_options(detect_bench PRIVATE ${LUMIVEX_LINK_FLAGS} -municode)
