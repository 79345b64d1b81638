# The version every file of this build carries, from the project's own version.
set(QELBOOT_VERSION_TEXT "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}")
set(QELBOOT_VERSION_TEMPLATE ${CMAKE_CURRENT_LIST_DIR}/version.rc.in)

# Gives a program or DLL its version resource, which Explorer's properties and installers read.
# DESCRIPTION says what the file is; it must not hold a double quote.
function(qelboot_version_resource target description)
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "EXECUTABLE")
    set(QELBOOT_RC_FILETYPE VFT_APP)
  else()
    set(QELBOOT_RC_FILETYPE VFT_DLL)
  endif()
  set(QELBOOT_RC_TARGET ${target})
  set(QELBOOT_RC_DESCRIPTION "${description}")
  # Configured first for the version and description, then generated for the file name, which only the
  # target knows once generation starts.
  set(rc ${CMAKE_BINARY_DIR}/version/${target}.rc)
  configure_file(${QELBOOT_VERSION_TEMPLATE} ${rc}.in @ONLY)
  file(GENERATE OUTPUT ${rc} INPUT ${rc}.in)
  target_sources(${target} PRIVATE ${rc})
endfunction()
