# One long process on a real window: nothing it does may keep a handle, GDI object, window or byte.
add_wine_gtest(leak_tests ${CMAKE_CURRENT_LIST_DIR}/leak_test.cpp)
target_link_libraries(leak_tests PRIVATE psapi)
