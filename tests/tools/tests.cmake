# Helper programs for the end-to-end journeys and the demo world (not tests themselves):
# wintool.exe reads windows and message boxes on the Wine desktop, Lumivex.exe stands in for the game.
add_executable(wintool ${CMAKE_CURRENT_LIST_DIR}/wintool.cpp)
target_compile_options(wintool PRIVATE -municode)
target_link_options(wintool PRIVATE ${LUMIVEX_LINK_FLAGS} -municode)
target_link_libraries(wintool PRIVATE user32)

add_executable(demo_game WIN32 ${CMAKE_CURRENT_LIST_DIR}/demo_game.cpp)
set_target_properties(demo_game PROPERTIES OUTPUT_NAME Lumivex)
target_link_options(demo_game PRIVATE ${LUMIVEX_LINK_FLAGS} -municode -mwindows)
