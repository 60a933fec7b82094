# Installation: pre-flight checks, the copy worker, the game launch and error texts.
set(INSTALL_TEST_DIR ${CMAKE_CURRENT_LIST_DIR})


add_wine_gtest(install_tests
  ${INSTALL_TEST_DIR}/error_text_test.cpp
  ${INSTALL_TEST_DIR}/preflight_test.cpp
  ${INSTALL_TEST_DIR}/copy_worker_test.cpp
  ${INSTALL_TEST_DIR}/launch_test.cpp)
target_link_libraries(install_tests PRIVATE install_fixture)
add_dependencies(install_tests install_recorder)

# Cases that need the machine set up around Wine (a small disk, a user without write rights):
# the script prepares it and runs this program's cases one by one.
add_executable(install_system_probe ${INSTALL_TEST_DIR}/system_probe_test.cpp ${LUMIVEX_RESOURCES})
target_link_libraries(install_system_probe PRIVATE install_fixture GTest::gtest_main)
target_link_options(install_system_probe PRIVATE ${LUMIVEX_LINK_FLAGS})
add_script_test(install_system ${INSTALL_TEST_DIR}/system_tests.sh
  $<TARGET_FILE:install_system_probe> $<TARGET_FILE:install_recorder>)
set_tests_properties(install_system PROPERTIES SKIP_RETURN_CODE 77)
