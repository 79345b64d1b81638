# Installs the build in BUILD into WORK/prefix, checks it for the hosts, the public headers and any MSVC-style
# import library, then builds the consumer (TOOLCHAIN, VERSION) into its bin/, beside the DLL, and runs it (RUN).
file(REMOVE_RECURSE ${WORK})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${WORK}/prefix COMMAND_ERROR_IS_FATAL ANY)
file(GLOB headers RELATIVE ${CMAKE_CURRENT_LIST_DIR}/../.. ${CMAKE_CURRENT_LIST_DIR}/../../include/*.h)
file(GLOB msvc_lib RELATIVE ${BUILD} ${BUILD}/lib/qelboot.*)
foreach(file bin/qelboot.exe bin/qelinfo.exe bin/dbgrec.exe bin/qelproxy.exe ${headers} ${msvc_lib})
  if(NOT EXISTS ${WORK}/prefix/${file})
    message(FATAL_ERROR "the install has no ${file}")
  endif()
endforeach()
execute_process(COMMAND ${CMAKE_COMMAND} -S ${CMAKE_CURRENT_LIST_DIR}/consumer -B ${WORK}/consumer -G Ninja
                        -DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN} -DCMAKE_PREFIX_PATH=${WORK}/prefix
                        -DQELBOOT_VERSION=${VERSION} -DCMAKE_RUNTIME_OUTPUT_DIRECTORY=${WORK}/prefix/bin
                        COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND ${CMAKE_COMMAND} --build ${WORK}/consumer COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND ${RUN} ${WORK}/prefix/bin/consumer.exe OUTPUT_VARIABLE output COMMAND_ERROR_IS_FATAL ANY)
if(NOT output MATCHES "applications: [0-9]+")
  message(FATAL_ERROR "the consumer printed: ${output}")
endif()
