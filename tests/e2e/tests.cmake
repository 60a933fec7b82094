# End-to-end journeys: the real installer under Wine, driven with real clicks and keys.
foreach(journey first_start two_libraries no_game patch_missing already_in_place interrupted failures
        from_temp)
  add_script_test(e2e_${journey} ${CMAKE_CURRENT_LIST_DIR}/journeys.py ${journey})
  # A journey this machine cannot run (e.g. too little disk for a big copy) says why and exits with 77.
  set_tests_properties(e2e_${journey} PROPERTIES SKIP_RETURN_CODE 77)
endforeach()
# The shipped 32-bit exe goes through the journeys that cover the most of it: the language window,
# an install and the game's launch; two libraries; the in-use warning and the administrator question.
foreach(journey first_start two_libraries failures)
  add_pe32_test(e2e_${journey} ${CMAKE_CURRENT_LIST_DIR}/journeys.py ${journey})
endforeach()
