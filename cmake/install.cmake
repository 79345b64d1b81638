# The SDK an integrator downloads, one install prefix per width:
#   bin/                  qelboot.dll, the runtime DLLs it was built with, the boot executable, qelinfo, dbgrec
#                         and the sample proxy
#   lib/                  the import libraries (mingw-w64's, and the MSVC-style one with its .def when built)
#   lib/cmake/qelboot/    the package configuration: find_package(qelboot CONFIG) gives qelboot::qelboot
#   include/              the public headers
# `cmake --build BUILD --target qelboot_sdk` builds what the rules install, and nothing else.
include(CMakePackageConfigHelpers)

set(qelboot_sdk_programs qelboot_exe qelinfo dbgrec qelproxy)
install(TARGETS qelboot EXPORT qelbootTargets RUNTIME DESTINATION bin ARCHIVE DESTINATION lib)
install(TARGETS ${qelboot_sdk_programs} RUNTIME DESTINATION bin)
# A host shares the DLL's GCC, C++ and thread runtimes, so they travel with it.
list(TRANSFORM QELBOOT_RUNTIME_DLLS PREPEND ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/ OUTPUT_VARIABLE runtime_dll_paths)
install(FILES ${runtime_dll_paths} DESTINATION bin)
add_custom_target(qelboot_sdk)
add_dependencies(qelboot_sdk qelboot ${qelboot_sdk_programs})
if(TARGET qelboot_msvc_importlib)
  install(FILES ${CMAKE_BINARY_DIR}/lib/qelboot.lib ${CMAKE_BINARY_DIR}/lib/qelboot.def DESTINATION lib)
  add_dependencies(qelboot_sdk qelboot_msvc_importlib)
endif()

set(qelboot_sdk_headers ${CMAKE_SOURCE_DIR}/include/qelboot.h ${CMAKE_SOURCE_DIR}/include/qelboot_mox.h)
if(EXISTS ${CMAKE_SOURCE_DIR}/include/qelboot_c.h)
  list(APPEND qelboot_sdk_headers ${CMAKE_SOURCE_DIR}/include/qelboot_c.h)
endif()
install(FILES ${qelboot_sdk_headers} DESTINATION include)

# On i686 an exception thrown by a host's callback is caught inside the library only when the host uses the
# same libgcc DLL, which GCC links statically unless told otherwise.
set_property(TARGET qelboot APPEND PROPERTY INTERFACE_LINK_OPTIONS $<$<LINK_LANG_AND_ID:CXX,GNU>:-shared-libgcc>)

set(qelboot_cmake_dir lib/cmake/qelboot)
install(EXPORT qelbootTargets NAMESPACE qelboot:: DESTINATION ${qelboot_cmake_dir})
file(WRITE ${CMAKE_BINARY_DIR}/qelbootConfig.cmake
     "include(\"\${CMAKE_CURRENT_LIST_DIR}/qelbootTargets.cmake\")\n")
# The version file also refuses a consumer of the other width.
write_basic_package_version_file(${CMAKE_BINARY_DIR}/qelbootConfigVersion.cmake
                                 VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/qelbootConfig.cmake ${CMAKE_BINARY_DIR}/qelbootConfigVersion.cmake
        DESTINATION ${qelboot_cmake_dir})
