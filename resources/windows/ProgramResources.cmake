# lw_add_program_resources(target description): the icon, the manifest and the version
# information of a Windows program, compiled from program.rc.in.
function(lw_add_program_resources target description)
  if(NOT WIN32)
    return()
  endif()
  math(EXPR minor "${PROJECT_VERSION_MINOR}")
  set(LW_RC_VERSION_COMMAS "${PROJECT_VERSION_MAJOR},${minor},0,0")
  set(LW_RC_DIR "${PROJECT_SOURCE_DIR}/resources/windows")
  set(LW_RC_NAME ${target})
  set(LW_RC_FILE ${target}${CMAKE_EXECUTABLE_SUFFIX})
  set(LW_RC_DESCRIPTION "${description}")
  set(rc "${CMAKE_CURRENT_BINARY_DIR}/${target}.rc")
  configure_file("${LW_RC_DIR}/program.rc.in" "${rc}" @ONLY)
  target_sources(${target} PRIVATE "${rc}")
  set_property(SOURCE "${rc}" APPEND PROPERTY OBJECT_DEPENDS
    "${LW_RC_DIR}/launchwright.ico" "${LW_RC_DIR}/launchwright.manifest")
endfunction()
