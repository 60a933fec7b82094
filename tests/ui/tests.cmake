add_wine_gtest(ui_tests
  ${CMAKE_CURRENT_LIST_DIR}/layout_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/window_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ui_test_support.cpp)

# Repaint timings; run by hand: not a test.
add_executable(paint_bench ${CMAKE_CURRENT_LIST_DIR}/paint_bench.cpp ${CMAKE_CURRENT_LIST_DIR}/ui_test_support.cpp
  ${LUMIVEX_RESOURCES})
target_link_libraries(paint_bench PRIVATE installer_core)
target_link_options(paint_bench PRIVATE ${LUMIVEX_LINK_FLAGS} -municode)
