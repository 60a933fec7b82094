# Monkey test: random mouse and keys on the real installer under Wine. The probe is its view of
# the Wine desktop; the recorder stands in for the game.
add_executable(monkey_probe ${CMAKE_CURRENT_LIST_DIR}/probe.cpp)
target_compile_options(monkey_probe PRIVATE -municode)
target_link_options(monkey_probe PRIVATE ${LUMIVEX_LINK_FLAGS} -municode)

add_script_test(monkey ${CMAKE_CURRENT_LIST_DIR}/monkey.py $<TARGET_FILE:monkey_probe> $<TARGET_FILE:install_recorder>)
add_dependencies(monkey_probe install_recorder)
