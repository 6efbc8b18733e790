# The Windows programs import kernel32 and the C run time only; every other
# DLL of Windows they use is delay-loaded, at its first call, after the
# program has restricted the DLL search to the system folder
# (platform/win32/system_library.h). A DLL imported the ordinary way is
# loaded before the program's first instruction, with all it imports in
# turn, and those are looked for beside the program first: under Wine, for
# one, user32.dll imports version.dll.
#
# GNU ld takes delay imports from import libraries that dlltool makes with
# --output-delaylib: here one per DLL, holding every function of the
# toolchain's own import library of that DLL. They head the default
# libraries at the end of every link line, so that each call into one of
# these DLLs, from whichever library of the program, lands in them.
#
# ld drops the jump stub of an import whose only use is its __imp_ pointer,
# which is how calls through dllimport declarations reach a DLL; a delay
# import cannot do without the stub, as its pointer starts out there. With
# DECLSPEC_IMPORT empty, the Windows headers declare plain functions and
# every call goes through its stub.
set(ACT_DELAY_LOADED_DLLS user32 gdi32 shell32 ole32 oleaut32)

set(_act_delay_dir ${CMAKE_BINARY_DIR}/delay_load)
file(MAKE_DIRECTORY ${_act_delay_dir})
set(_act_delay_libs "")
foreach(_dll IN LISTS ACT_DELAY_LOADED_DLLS)
  set(_act_delay_lib ${_act_delay_dir}/lib${_dll}_delay.a)
  if(NOT EXISTS ${_act_delay_lib})
    find_library(_act_import_lib_${_dll} NAMES ${_dll} REQUIRED NO_CACHE)
    execute_process(COMMAND ${CMAKE_NM} -g --defined-only ${_act_import_lib_${_dll}}
                    OUTPUT_VARIABLE _act_symbols COMMAND_ERROR_IS_FATAL ANY)
    # The import stubs are the code symbols: "_CreateWindowExW@48".
    string(REGEX MATCHALL "[0-9a-f]+ T _[^\n]+" _act_stubs "${_act_symbols}")
    set(_act_def "LIBRARY ${_dll}.dll\nEXPORTS\n")
    foreach(_stub IN LISTS _act_stubs)
      string(REGEX REPLACE "^[0-9a-f]+ T _" "" _name "${_stub}")
      string(APPEND _act_def "${_name}\n")
    endforeach()
    file(WRITE ${_act_delay_dir}/${_dll}.def "${_act_def}")
    execute_process(COMMAND ${CMAKE_DLLTOOL} --kill-at --input-def ${_act_delay_dir}/${_dll}.def
                            --output-delaylib ${_act_delay_lib} --dllname ${_dll}.dll
                    WORKING_DIRECTORY ${_act_delay_dir} COMMAND_ERROR_IS_FATAL ANY)
  endif()
  string(APPEND _act_delay_libs " ${_act_delay_lib}")
endforeach()

set(CMAKE_C_STANDARD_LIBRARIES "${_act_delay_libs} ${CMAKE_C_STANDARD_LIBRARIES}")
set(CMAKE_CXX_STANDARD_LIBRARIES "${_act_delay_libs} ${CMAKE_CXX_STANDARD_LIBRARIES}")
add_compile_definitions(DECLSPEC_IMPORT=)
