# What a screen reader finds: the real installer read through oleacc, and a real window in this
# process. The same reader runs on the shipped 32-bit exe as a11y_pe32.
add_wine_gtest(a11y_tests ${CMAKE_CURRENT_LIST_DIR}/a11y_test.cpp ${CMAKE_CURRENT_LIST_DIR}/../ui/ui_test_support.cpp)
target_include_directories(a11y_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/../ui)
add_dependencies(a11y_tests LumivexPatchInstaller)
set_property(TEST a11y_tests APPEND PROPERTY ENVIRONMENT "LUMIVEX_EXE=$<TARGET_FILE:LumivexPatchInstaller>")
add_pe32_test(a11y ${CMAKE_CURRENT_LIST_DIR}/../harness/wine-run.sh ${CMAKE_BINARY_DIR} $<TARGET_FILE:a11y_tests>
  --gtest_filter=RealInstaller.*)
