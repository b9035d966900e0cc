# One Debian package per program, so that tidewick comes without Qt. Each holds its manual page,
# changelog, copyright file and lintian overrides beside the program.

# The copyright file carries LICENSE in the machine-readable format: paragraphs indented, empty
# lines as " .".
file(READ ${PROJECT_SOURCE_DIR}/LICENSE licence)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/LICENSE)
string(FIND "${licence}" "Permission is hereby granted" start)
string(SUBSTRING "${licence}" ${start} -1 licence)
string(STRIP "${licence}" licence)
string(REPLACE "\n\n" "\n.\n" licence "${licence}")
string(REPLACE "\n" "\n " LICENSE_TEXT " ${licence}")
configure_file(copyright.in copyright @ONLY)

set(components)
foreach(program tidewick cartloom)
  if(NOT TARGET ${program})
    continue()
  endif()
  list(APPEND components ${program})
  string(TOUPPER ${program} COMPONENT)
  set(out ${CMAKE_CURRENT_BINARY_DIR}/${program})

  set(PACKAGE ${program})
  configure_file(${program}.1.in ${out}/${program}.1 @ONLY)
  configure_file(changelog.in ${out}/changelog @ONLY)
  # Debian wants both compressed at the highest level; -n keeps the bytes the same on every build.
  add_custom_command(
    OUTPUT ${out}/${program}.1.gz ${out}/changelog.gz
    COMMAND gzip -9n -c ${out}/${program}.1 > ${out}/${program}.1.gz
    COMMAND gzip -9n -c ${out}/changelog > ${out}/changelog.gz
    DEPENDS ${out}/${program}.1 ${out}/changelog
    VERBATIM)
  add_custom_target(${program}_package_files ALL
                    DEPENDS ${out}/${program}.1.gz ${out}/changelog.gz)

  install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT ${program})
  install(FILES ${out}/${program}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1
          COMPONENT ${program})
  install(FILES ${out}/changelog.gz ${CMAKE_CURRENT_BINARY_DIR}/copyright
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${program} COMPONENT ${program})
  install(FILES ${program}.lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
          RENAME ${program} COMPONENT ${program})

  file(READ ${program}.description description)
  set(CPACK_DEBIAN_${COMPONENT}_PACKAGE_NAME ${program})
  set(CPACK_DEBIAN_${COMPONENT}_DESCRIPTION "${description}")
endforeach()

if(TARGET cartloom)
  install(FILES cartloom.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications
          COMPONENT cartloom)
  install(FILES cartloom.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
          COMPONENT cartloom)
endif()

set(CPACK_GENERATOR "DEB")
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL ${components})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION "electronics")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
