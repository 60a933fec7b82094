add_script_test(release_zip ${CMAKE_CURRENT_LIST_DIR}/release_test.sh ${LUMIVEX_SHIPPED_EXE})
