# The real installer's windows and journeys; e2e_journeys_pe32 runs them on the shipped 32-bit exe.
add_wine_gtest(e2e_journeys ${CMAKE_CURRENT_LIST_DIR}/journeys.cpp)
target_link_libraries(e2e_journeys PRIVATE oleacc)
add_pe32_test(e2e_journeys ${CMAKE_CURRENT_LIST_DIR}/../harness/wine-run.sh ${CMAKE_BINARY_DIR} $<TARGET_FILE:e2e_journeys>)
