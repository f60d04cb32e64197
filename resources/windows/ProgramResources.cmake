# lw_add_program_resources(target description): the icon, the manifest and the version
# information of a Windows program, compiled from program.rc.in.
function(lw_add_program_resources target description)
  if(NOT WIN32)
    return()
  endif()
  math(EXPR minor "${PROJECT_VERSION_MINOR}")
  set(LW_RC_VERSION_COMMAS "${PROJECT_VERSION_MAJOR},${minor},0,0")
  # The strings say the numbers the version's binary form holds (1.03 is 1.3.0.0), as Explorer
  # and installers compare those.
  set(LW_RC_VERSION_DOTS "${PROJECT_VERSION_MAJOR}.${minor}.0.0")
  set(LW_RC_DIR "${PROJECT_SOURCE_DIR}/resources/windows")
  # The file's own name, which OUTPUT_NAME and SUFFIX may set (launchwright.com).
  get_target_property(output_name ${target} OUTPUT_NAME)
  get_target_property(suffix ${target} SUFFIX)
  if(NOT output_name)
    set(output_name ${target})
  endif()
  if(NOT suffix)
    set(suffix ${CMAKE_EXECUTABLE_SUFFIX})
  endif()
  set(LW_RC_NAME ${output_name})
  set(LW_RC_FILE ${output_name}${suffix})
  set(LW_RC_DESCRIPTION "${description}")
  set(rc "${CMAKE_CURRENT_BINARY_DIR}/${target}.rc")
  configure_file("${LW_RC_DIR}/program.rc.in" "${rc}" @ONLY)
  target_sources(${target} PRIVATE "${rc}")
  set_property(SOURCE "${rc}" APPEND PROPERTY OBJECT_DEPENDS
    "${LW_RC_DIR}/launchwright.ico" "${LW_RC_DIR}/launchwright.manifest")
endfunction()
