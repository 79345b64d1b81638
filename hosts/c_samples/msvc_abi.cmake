# The C host and the C plug-in built a second way: by clang for the MSVC ABI, freestanding (no mingw-w64
# header, no C runtime), linked by lld-link against import libraries made from .def files. They prove that
# the library serves programs of other Windows compilers.
find_program(QELBOOT_CLANG NAMES clang clang-14 REQUIRED)
find_program(QELBOOT_LLD_LINK NAMES lld-link lld-link-14 REQUIRED)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(msvc_target x86_64-pc-windows-msvc)
  set(plugin_export FxPluginMain)
else()
  set(msvc_target i686-pc-windows-msvc)
  set(plugin_export FxPluginMain=_FxPluginMain@4)
endif()
set(msvc_dir ${CMAKE_BINARY_DIR}/msvc_abi)
set(samples ${CMAKE_SOURCE_DIR}/hosts/c_samples)

file(READ ${samples}/kernel32.def def_text)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  string(REGEX REPLACE "@[0-9]+" "" def_text "${def_text}")
endif()
file(CONFIGURE OUTPUT ${msvc_dir}/kernel32.def CONTENT "${def_text}" @ONLY)
add_custom_command(OUTPUT ${msvc_dir}/kernel32.lib
                   COMMAND ${QELBOOT_DLLTOOL} -m ${QELBOOT_DLLTOOL_MACHINE} -d ${msvc_dir}/kernel32.def -l
                           ${msvc_dir}/kernel32.lib -k
                   DEPENDS ${msvc_dir}/kernel32.def VERBATIM)

set(msvc_flags --target=${msvc_target} -ffreestanding -fno-builtin -O2 -std=c11 -Wall -Wextra -pedantic -Werror
               -I${CMAKE_SOURCE_DIR}/include)
foreach(sample c_host c_phone)
  add_custom_command(OUTPUT ${msvc_dir}/${sample}.obj
                     COMMAND ${QELBOOT_CLANG} ${msvc_flags} -c ${samples}/${sample}.c -o ${msvc_dir}/${sample}.obj
                     DEPENDS ${samples}/${sample}.c ${samples}/win32_values.h ${CMAKE_SOURCE_DIR}/include/qelboot_c.h
                             ${CMAKE_SOURCE_DIR}/include/qelboot_mox.h
                     VERBATIM)
endforeach()
set(lld_common /nologo /nodefaultlib /machine:$<IF:$<EQUAL:${CMAKE_SIZEOF_VOID_P},8>,x64,x86>)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/bin/c_host.exe
                   COMMAND ${QELBOOT_LLD_LINK} ${lld_common} /subsystem:console /entry:HostMain
                           ${msvc_dir}/c_host.obj ${CMAKE_ARCHIVE_OUTPUT_DIRECTORY}/qelboot.lib
                           ${msvc_dir}/kernel32.lib /out:${CMAKE_BINARY_DIR}/bin/c_host.exe
                   DEPENDS ${msvc_dir}/c_host.obj ${msvc_dir}/kernel32.lib
                           ${CMAKE_ARCHIVE_OUTPUT_DIRECTORY}/qelboot.lib
                   VERBATIM)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/bin/c_phone.mox
                   COMMAND ${QELBOOT_LLD_LINK} ${lld_common} /dll /noentry /implib:${msvc_dir}/c_phone.lib /export:${plugin_export}
                           ${msvc_dir}/c_phone.obj ${msvc_dir}/kernel32.lib /out:${CMAKE_BINARY_DIR}/bin/c_phone.mox
                   DEPENDS ${msvc_dir}/c_phone.obj ${msvc_dir}/kernel32.lib VERBATIM)
add_custom_target(msvc_abi_samples ALL DEPENDS ${CMAKE_BINARY_DIR}/bin/c_host.exe ${CMAKE_BINARY_DIR}/bin/c_phone.mox)
add_dependencies(msvc_abi_samples qelboot_msvc_importlib)
