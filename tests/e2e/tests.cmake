# End-to-end journeys: the real installer under Wine, driven with real clicks and keys.
foreach(journey first_start two_libraries no_game patch_missing already_in_place interrupted failures
        from_temp languages)
  add_script_test(e2e_${journey} ${CMAKE_CURRENT_LIST_DIR}/journeys.py ${journey})
endforeach()
