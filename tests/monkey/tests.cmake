# Random input on the real installer, a short run with a fixed seed (monkey.cpp says how to run others).
add_wine_gtest(monkey ${CMAKE_CURRENT_LIST_DIR}/monkey.cpp)
