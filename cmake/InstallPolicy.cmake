# Run at install time: the policy names the main program where this tree is
# being installed, so pkexec matches it (message, allow_gui) to that program.
# Expects tv_policy_template and tv_libexec_subdir.
set(tv_main_program "${CMAKE_INSTALL_PREFIX}/${tv_libexec_subdir}/tarnwick-vantoly")
set(tv_actions_dir "${CMAKE_INSTALL_PREFIX}/share/polkit-1/actions")
file(READ "${tv_policy_template}" tv_policy)
string(REPLACE "@TV_MAIN_PROGRAM@" "${tv_main_program}" tv_policy "${tv_policy}")
set(tv_policy_file "$ENV{DESTDIR}${tv_actions_dir}/com.tarnwick.vantoly.policy")
message(STATUS "Installing: ${tv_policy_file}")
file(WRITE "${tv_policy_file}" "${tv_policy}")
list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${tv_policy_file}")
if(NOT tv_actions_dir STREQUAL "/usr/share/polkit-1/actions")
  message(WARNING "polkit reads its actions only from /usr/share/polkit-1/actions, so it does not know "
                  "this tree under ${CMAKE_INSTALL_PREFIX}: brisklaunch started from it gets pkexec's "
                  "generic prompt and the main program cannot open the display. Install under /usr "
                  "(or the Debian package) to run it as a user.")
endif()
