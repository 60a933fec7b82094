# The two windows: decisions, pixels and keys in this process, and the real installer's windows
# (RealWindows), which ui_real_installer_pe32 runs again on the shipped 32-bit exe.
add_wine_gtest(ui_tests ${CMAKE_CURRENT_LIST_DIR}/layout_test.cpp ${CMAKE_CURRENT_LIST_DIR}/window_test.cpp)
target_link_libraries(ui_tests PRIVATE support)
add_dependencies(ui_tests LumivexPatchInstaller stand_in)
set_property(TEST ui_tests APPEND PROPERTY ENVIRONMENT "LUMIVEX_EXE=$<TARGET_FILE:LumivexPatchInstaller>")
add_pe32_test(ui_real_installer ${CMAKE_CURRENT_LIST_DIR}/../harness/wine-run.sh ${CMAKE_BINARY_DIR}
  $<TARGET_FILE:ui_tests> --gtest_filter=RealWindows.*)
