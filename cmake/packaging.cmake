# Installs what a Linux application carries besides its program (manual pages, AppStream data, bash
# completion, licence and changelog) and describes the Debian package that cpack makes of the whole install.
find_program(GZIP gzip REQUIRED)

# Manual pages and the changelog are installed compressed, without a time stamp, so that a rebuild of
# the same source gives the same files.
set(WATTLINE_DOCDIR "${CMAKE_INSTALL_DATADIR}/doc/wattline")
set(compressed)
foreach(pair "wattline.1|man1" "wattline-energyd.8|man8" "debian/changelog|doc")
  string(REPLACE "|" ";" pair "${pair}")
  list(GET pair 0 source)
  list(GET pair 1 section)
  get_filename_component(name "${source}" NAME)
  set(output "${CMAKE_CURRENT_BINARY_DIR}/packaging/${name}.gz")
  add_custom_command(OUTPUT "${output}"
    COMMAND ${CMAKE_COMMAND} -E make_directory "${CMAKE_CURRENT_BINARY_DIR}/packaging"
    COMMAND sh -c "'${GZIP}' -9nc '${CMAKE_CURRENT_SOURCE_DIR}/packaging/${source}' >'${output}'"
    DEPENDS "packaging/${source}" VERBATIM)
  list(APPEND compressed "${output}")
  if(section STREQUAL "doc")
    install(FILES "${output}" DESTINATION "${WATTLINE_DOCDIR}")
  else()
    install(FILES "${output}" DESTINATION "${CMAKE_INSTALL_MANDIR}/${section}")
  endif()
endforeach()
add_custom_target(wattline_documents ALL DEPENDS ${compressed})

# The AppStream data names the screenshots in docs/ by their public address, which only a published copy of
# the repository has: without WATTLINE_DOCS_URL the data goes without screenshots.
set(WATTLINE_DOCS_URL "" CACHE STRING "Public web address of the repository's docs/ folder (AppStream screenshots)")
set(metainfo "local.wattline.Wattline.metainfo.xml")
file(READ "packaging/${metainfo}.in" text)
if(WATTLINE_DOCS_URL)
  string(REPLACE "@WATTLINE_DOCS_URL@" "${WATTLINE_DOCS_URL}" text "${text}")
else()
  string(REGEX REPLACE "\n *<screenshots>.*</screenshots>\n" "\n" text "${text}")
endif()
file(GENERATE OUTPUT "${CMAKE_CURRENT_BINARY_DIR}/packaging/${metainfo}" CONTENT "${text}")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "packaging/${metainfo}.in")
install(FILES "${CMAKE_CURRENT_BINARY_DIR}/packaging/${metainfo}" DESTINATION "${CMAKE_INSTALL_DATADIR}/metainfo")

# bash-completion looks for a command's completion under share/bash-completion/completions of /usr, of
# /usr/local and of $XDG_DATA_HOME, so one path relative to the prefix serves every install.
set(WATTLINE_BASH_COMPLETION_DIR "${CMAKE_INSTALL_DATADIR}/bash-completion/completions" CACHE STRING
  "Where the bash completion goes, relative to the prefix unless absolute")
install(FILES packaging/wattline.bash-completion DESTINATION "${WATTLINE_BASH_COMPLETION_DIR}" RENAME wattline)

# The udev rule that opens the energy counters to a group is a choice the administrator makes (README):
# it is shipped as a document, never installed where udev reads it.
install(FILES packaging/debian/copyright packaging/60-wattline-rapl.rules DESTINATION "${WATTLINE_DOCDIR}")

# scripts/package: cpack --config build/CPackConfig.cmake makes wattline_<version>_<arch>.deb of a /usr
# install of this build.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME wattline)
set(CPACK_PACKAGE_VENDOR "The Wattline authors")
set(CPACK_PACKAGE_CONTACT "The Wattline authors <maintainers@wattline.invalid>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# cpack indents the lines after the first; an empty line separates paragraphs.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "tray power monitor: live power flow and a week of history
Wattline (瓦迹) shows in the system tray, live and in watts, how power flows
between the power adapter, the mainboard and the battery, with processor,
graphics and display power, the applications using the most power, a
one-minute trend and a per-second history of the last seven days.

A reading the system does not give is shown as missing, with its reason,
never as zero. The interface is in Simplified Chinese.

The package also holds wattline-energyd, a small system service started on
demand that lets every user read the RAPL energy counters at most once a
second.")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
  "${CMAKE_CURRENT_SOURCE_DIR}/packaging/debian/postinst"
  "${CMAKE_CURRENT_SOURCE_DIR}/packaging/debian/prerm"
  "${CMAKE_CURRENT_SOURCE_DIR}/packaging/debian/postrm")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
