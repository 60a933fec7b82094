# Faults injected around the copy. The disk-full cases need a small disk of their own, which
# faults.sh mounts and maps to a drive letter before it runs them.
add_wine_gtest(copy_faults ${CMAKE_CURRENT_LIST_DIR}/copy_faults_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../ui/ui_test_support.cpp)
target_include_directories(copy_faults PRIVATE ${CMAKE_CURRENT_LIST_DIR}/../install ${CMAKE_CURRENT_LIST_DIR}/../ui)
target_link_libraries(copy_faults PRIVATE install_fixture)
set_property(TEST copy_faults APPEND PROPERTY ENVIRONMENT "GTEST_FILTER=-DiskFull.*")

add_script_test(copy_faults_disk ${CMAKE_CURRENT_LIST_DIR}/faults.sh $<TARGET_FILE:copy_faults>)
set_tests_properties(copy_faults_disk PROPERTIES SKIP_RETURN_CODE 77)
