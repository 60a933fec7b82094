add_wine_gtest(ui_tests
  ${CMAKE_CURRENT_LIST_DIR}/layout_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/window_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/accessible_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ui_test_support.cpp)
# accessible_test.cpp starts and reads the real installer; ui_real_installer_pe32 does that with the
# shipped 32-bit one.
add_dependencies(ui_tests LumivexPatchInstaller)
set_property(TEST ui_tests APPEND PROPERTY ENVIRONMENT "LUMIVEX_EXE=$<TARGET_FILE:LumivexPatchInstaller>")
add_pe32_test(ui_real_installer ${CMAKE_CURRENT_LIST_DIR}/../harness/wine-run.sh ${CMAKE_BINARY_DIR} $<TARGET_FILE:ui_tests>
  --gtest_filter=RealInstaller.*)

# Repaint timings; run by hand: not a test.
add_executable(paint_bench ${CMAKE_CURRENT_LIST_DIR}/paint_bench.cpp ${CMAKE_CURRENT_LIST_DIR}/ui_test_support.cpp
  ${LUMIVEX_RESOURCES})
target_link_libraries(paint_bench PRIVATE installer_core)
target_link_options(paint_bench PRIVATE ${LUMIVEX_LINK_FLAGS} -municode)
