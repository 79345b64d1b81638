# Installs the build in BUILD into WORK/prefix, checks its layout, builds the consumer project against that
# prefix with TOOLCHAIN, asking for VERSION, and runs it beside the installed DLL with RUN (wine-run.sh).
file(REMOVE_RECURSE ${WORK})
set(expected bin/qelboot.dll bin/qelboot.exe bin/qelinfo.exe bin/dbgrec.exe bin/qelproxy.exe lib/libqelboot.dll.a
    include/qelboot.h include/qelboot_mox.h)
if(EXISTS ${BUILD}/lib/qelboot.lib)
  list(APPEND expected lib/qelboot.lib lib/qelboot.def)
endif()
if(EXISTS ${CMAKE_CURRENT_LIST_DIR}/../../include/qelboot_c.h)
  list(APPEND expected include/qelboot_c.h)
endif()
function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${ARGN} failed (${result}):\n${output}")
  endif()
  set(output "${output}" PARENT_SCOPE)
endfunction()

run(${CMAKE_COMMAND} --install ${BUILD} --prefix ${WORK}/prefix)
foreach(file IN LISTS expected)
  if(NOT EXISTS ${WORK}/prefix/${file})
    message(FATAL_ERROR "the install has no ${file}")
  endif()
endforeach()
run(${CMAKE_COMMAND} -S ${CMAKE_CURRENT_LIST_DIR}/consumer -B ${WORK}/consumer -G Ninja
    -DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN} -DCMAKE_PREFIX_PATH=${WORK}/prefix -DCMAKE_BUILD_TYPE=Release
    -DQELBOOT_VERSION=${VERSION})
run(${CMAKE_COMMAND} --build ${WORK}/consumer)
# Beside the installed DLL and runtimes, as an integrator's program would sit.
file(COPY ${WORK}/consumer/consumer.exe DESTINATION ${WORK}/prefix/bin)
run(${RUN} ${WORK}/prefix/bin/consumer.exe)
if(NOT output MATCHES "applications: [0-9]+")
  message(FATAL_ERROR "the consumer printed:\n${output}")
endif()
message("${output}")
