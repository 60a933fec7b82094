# Delay-loaded system DLLs.
#
# The installer is started from a download folder. A DLL named in the import table that is not
# one of the system's KnownDLLs (gdiplus.dll, for one) is looked up beside the executable
# first, before wWinMain can restrict the search with SetDefaultDllDirectories, so a file of that
# name dropped into the download folder would run inside the installer. Delay-loading moves those
# loads to the first call, which happens after SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32),
# so they come from the system folder only. (The PE field DependentLoadFlags would do the same
# for the import table on Windows 10 1607 and later, but this toolchain's linker cannot point the
# Load Config directory at a record, and Wine ignores the field.) Only DLLs the installer cannot
# run without belong here: a failed delay load ends the run (main.cpp). The optional ones (dwmapi,
# winmm, oleacc) are looked up at run time instead (app/system_dll.h).
#
# lumivex_delay_load(<target> <dll base name>...): builds a delay-import library for each DLL
# from the toolchain's own import library (every export it lists, decorated on i686) and links
# it into <target> ahead of the ordinary import libraries.
function(lumivex_delay_load target)
  foreach(dll IN LISTS ARGN)
    find_library(LUMIVEX_IMPORT_LIB_${dll} NAMES ${dll} REQUIRED NO_CACHE)
    set(import_lib ${LUMIVEX_IMPORT_LIB_${dll}})
    execute_process(COMMAND ${CMAKE_NM} -g --defined-only ${import_lib}
      OUTPUT_VARIABLE symbols RESULT_VARIABLE nm_result ERROR_QUIET)
    if(NOT nm_result EQUAL 0)
      message(FATAL_ERROR "cannot list ${import_lib}")
    endif()
    if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
      set(imp_prefix "__imp__")
    else()
      set(imp_prefix "__imp_")
    endif()
    string(REGEX MATCHALL " I ${imp_prefix}[A-Za-z0-9_@?$]+" entries "${symbols}")
    set(def_text "LIBRARY ${dll}.dll\nEXPORTS\n")
    foreach(entry IN LISTS entries)
      string(REPLACE " I ${imp_prefix}" "" name "${entry}")
      string(APPEND def_text "  ${name}\n")
    endforeach()
    set(def_file ${CMAKE_BINARY_DIR}/delay_load/${dll}.def)
    set(delay_lib ${CMAKE_BINARY_DIR}/delay_load/lib${dll}_delay.a)
    file(WRITE ${def_file} "${def_text}")
    # --kill-at: the i686 names are stdcall-decorated in the import library, the DLL exports them
    # undecorated.
    add_custom_command(OUTPUT ${delay_lib}
      COMMAND ${CMAKE_DLLTOOL} --kill-at --input-def ${def_file} --dllname ${dll}.dll
              --output-delaylib ${delay_lib}
      DEPENDS ${def_file} VERBATIM)
    add_custom_target(${target}_delay_${dll} DEPENDS ${delay_lib})
    add_dependencies(${target} ${target}_delay_${dll})
    # Linked after installer_core and ahead of the ordinary import libraries it brings along, so
    # these definitions of __imp_* are the ones the linker takes.
    target_link_libraries(${target} PRIVATE ${delay_lib})
  endforeach()
endfunction()
