add_wine_gtest(ui_tests
  ${CMAKE_CURRENT_LIST_DIR}/layout_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/window_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/accessible_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ui_test_support.cpp)
target_link_libraries(ui_tests PRIVATE oleacc)
add_dependencies(ui_tests LumivexPatchInstaller)
set_property(TEST ui_tests APPEND PROPERTY ENVIRONMENT "LUMIVEX_EXE=$<TARGET_FILE:LumivexPatchInstaller>")
add_pe32_test(ui_real_installer ${CMAKE_CURRENT_LIST_DIR}/../harness/wine-run.sh ${CMAKE_BINARY_DIR} $<TARGET_FILE:ui_tests>
  --gtest_filter=RealInstaller.*)
