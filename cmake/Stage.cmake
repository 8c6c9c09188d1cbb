# The build stages the installed tree under build/stage so that the staged and
# the installed program find their resources the same way: relative to the
# running executable.
set(TV_STAGE_DIR        ${CMAKE_BINARY_DIR}/stage)
set(TV_BIN_SUBDIR       bin)
set(TV_LIBEXEC_SUBDIR   libexec/tarnwick-vantoly)
set(TV_SHARE_SUBDIR     share/tarnwick-vantoly)
set(TV_STATE_SUBDIR     var/lib/tarnwick-vantoly)
file(MAKE_DIRECTORY ${TV_STAGE_DIR}/${TV_STATE_SUBDIR})

# tv_stage_program(<target> BIN|LIBEXEC): put the executable where it is installed.
function(tv_stage_program target where)
  if(where STREQUAL "BIN")
    set(sub ${TV_BIN_SUBDIR})
  else()
    set(sub ${TV_LIBEXEC_SUBDIR})
  endif()
  set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${TV_STAGE_DIR}/${sub})
  install(TARGETS ${target} RUNTIME DESTINATION ${sub})
  # The product: what the run command builds and the package holds.
  set_property(GLOBAL APPEND PROPERTY TV_PRODUCT_TARGETS ${target})
endfunction()

# tv_stage_share(<file>... [DESTINATION <sub>]): copy read-only resources into share/.
function(tv_stage_share)
  cmake_parse_arguments(ARG "" "DESTINATION" "" ${ARGN})
  set(dest ${TV_SHARE_SUBDIR})
  if(ARG_DESTINATION)
    set(dest ${TV_SHARE_SUBDIR}/${ARG_DESTINATION})
  endif()
  foreach(f IN LISTS ARG_UNPARSED_ARGUMENTS)
    get_filename_component(name ${f} NAME)
    configure_file(${f} ${TV_STAGE_DIR}/${dest}/${name} COPYONLY)
    install(FILES ${f} DESTINATION ${dest})
    set_property(GLOBAL APPEND PROPERTY TV_INSTALLED_FILES ${f})
  endforeach()
endfunction()
