# One long process on a real window: repaints, language switches, detection passes and installs
# must give back every handle, GDI object, window and byte they take.
add_wine_gtest(leak_tests
  ${CMAKE_CURRENT_LIST_DIR}/leak_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../ui/ui_test_support.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../detect/detect_world.cpp)
target_include_directories(leak_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/../ui ${CMAKE_CURRENT_LIST_DIR}/../detect
  ${CMAKE_CURRENT_LIST_DIR}/../install)
target_link_libraries(leak_tests PRIVATE install_fixture)
