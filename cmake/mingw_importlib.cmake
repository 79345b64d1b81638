# Rewrites the 32-bit DLL's mingw-w64 import library so that it names the C functions as callers' compilers
# do, Name@bytes, while they import the undecorated names the DLL exports. The linker's own import library
# has only the undecorated symbols (the DLL is linked with --kill-at), which a __stdcall caller never asks for.
# cmake -DDLLTOOL=... -DEXPORTS_DEF=<the linker's --output-def> -DC_DEF=... -DIMPORT_LIB=... -P mingw_importlib.cmake
cmake_minimum_required(VERSION 3.25)
file(STRINGS ${EXPORTS_DEF} exported)
file(STRINGS ${C_DEF} c_functions REGEX "^Qel")
set(def "LIBRARY qelboot.dll\nEXPORTS\n")
foreach(line IN LISTS exported)
  string(STRIP "${line}" line)
  if(line MATCHES "^(LIBRARY|EXPORTS|;)" OR line STREQUAL "" OR line MATCHES "^Qel")
    continue()
  endif()
  string(REGEX REPLACE " @[0-9]+" "" line "${line}") # ordinals are the linker's choice
  string(APPEND def "${line}\n")
endforeach()
foreach(line IN LISTS c_functions)
  string(APPEND def "${line}\n")
endforeach()
get_filename_component(folder ${IMPORT_LIB} DIRECTORY)
file(WRITE ${folder}/qelboot-mingw.def "${def}")
execute_process(COMMAND ${DLLTOOL} --kill-at -d ${folder}/qelboot-mingw.def -D qelboot.dll -l ${IMPORT_LIB}
                RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "${DLLTOOL} could not write ${IMPORT_LIB}")
endif()
