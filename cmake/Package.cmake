# Installed the way Debian programs are: one package under /usr, made with
# CPack from the same install rules the staged tree follows.
set(tv_system_dir ${CMAKE_SOURCE_DIR}/resources/system)

# The policy is written at install time (cmake/InstallPolicy.cmake), naming
# the main program under the prefix being installed to.
install(CODE "set(tv_policy_template \"${tv_system_dir}/com.tarnwick.vantoly.policy.in\")
set(tv_libexec_subdir \"${TV_LIBEXEC_SUBDIR}\")
include(\"${CMAKE_SOURCE_DIR}/cmake/InstallPolicy.cmake\")")
install(FILES ${tv_system_dir}/tarnwick-vantoly.desktop DESTINATION share/applications)
install(FILES ${tv_system_dir}/tarnwick-vantoly.svg DESTINATION share/icons/hicolor/scalable/apps)

# The package depends on what the programs run (the runtime section of
# scripts/packages.txt) and, through dpkg-shlibdeps, on the libraries they link.
file(STRINGS ${CMAKE_SOURCE_DIR}/scripts/packages.txt tv_package_lines)
set(tv_section "")
set(tv_runtime_packages "")
foreach(line IN LISTS tv_package_lines)
  string(STRIP "${line}" line)
  if(line MATCHES "^#[ \t]*(build|runtime|tests)")
    set(tv_section ${CMAKE_MATCH_1})
  elseif(line STREQUAL "" OR line MATCHES "^#")
  elseif(tv_section STREQUAL "runtime")
    list(APPEND tv_runtime_packages ${line})
  endif()
endforeach()
list(JOIN tv_runtime_packages ", " tv_runtime_depends)

execute_process(COMMAND dpkg --print-architecture OUTPUT_VARIABLE tv_deb_arch OUTPUT_STRIP_TRAILING_WHITESPACE
                ERROR_QUIET)
if(NOT tv_deb_arch)
  set(tv_deb_arch amd64)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarnwick-vantoly)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Tarnwick Vantoly")
set(CPACK_PACKAGE_CONTACT "Tarnwick Vantoly developers <developers@tarnwick-vantoly.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "data eraser and disk utility suite")
set(CPACK_PACKAGE_DESCRIPTION "Shreds files and folders, wipes volumes and their free space, looks after volumes, uninstalls applications with their leftovers and cleans browser data.")
# The install runs with the final prefix (and DESTDIR), so the policy it
# writes names /usr/libexec/..., not the packaging folder.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
set(CPACK_DEBIAN_FILE_NAME "tarnwick-vantoly_${PROJECT_VERSION}_${tv_deb_arch}.deb")
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${tv_deb_arch})
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "${tv_runtime_depends}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${tv_system_dir}/prerm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
include(CPack)

# `deb`: the package, remade only when a program or an installed file changed.
# It builds the product alone; tests and benchmarks are not needed for it.
get_property(tv_product_targets GLOBAL PROPERTY TV_PRODUCT_TARGETS)
get_property(tv_installed_files GLOBAL PROPERTY TV_INSTALLED_FILES)
if(TARGET tv_history_template)  # the empty history database, made at build time
  list(APPEND tv_product_targets tv_history_template)
  list(APPEND tv_installed_files ${TV_STAGE_DIR}/${TV_SHARE_SUBDIR}/DataBase.db)
endif()
set(TV_DEB_FILE ${CPACK_PACKAGE_DIRECTORY}/${CPACK_DEBIAN_FILE_NAME})
file(WRITE ${CMAKE_BINARY_DIR}/deb-file.txt.new "${TV_DEB_FILE}\n")
file(COPY_FILE ${CMAKE_BINARY_DIR}/deb-file.txt.new ${CMAKE_BINARY_DIR}/deb-file.txt ONLY_IF_DIFFERENT)
add_custom_command(OUTPUT ${TV_DEB_FILE}
  COMMAND ${CMAKE_CPACK_COMMAND} -G DEB --config ${CMAKE_BINARY_DIR}/CPackConfig.cmake
  COMMAND ${CMAKE_COMMAND} -E touch ${TV_DEB_FILE}
  DEPENDS ${tv_product_targets} ${tv_installed_files}
          ${tv_system_dir}/com.tarnwick.vantoly.policy.in ${tv_system_dir}/tarnwick-vantoly.desktop
          ${tv_system_dir}/tarnwick-vantoly.svg ${tv_system_dir}/prerm
          ${CMAKE_SOURCE_DIR}/cmake/InstallPolicy.cmake ${CMAKE_BINARY_DIR}/CPackConfig.cmake
  WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
  COMMENT "Making the Debian package ${CPACK_DEBIAN_FILE_NAME}"
  VERBATIM)
add_custom_target(deb DEPENDS ${TV_DEB_FILE})
add_custom_target(product DEPENDS ${tv_product_targets})
