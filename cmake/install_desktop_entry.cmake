# Installs the desktop entry so that it starts the installed program by its
# absolute path, for whatever prefix the install is given. Runs at install time
# with WATTLINE_DESKTOP_SOURCE, WATTLINE_BINDIR and WATTLINE_DATADIR set.
set(program "${CMAKE_INSTALL_PREFIX}/${WATTLINE_BINDIR}/wattline")
# Exec quoting: inside double quotes \ " ` $ take a backslash, and the entry's
# string value escapes every backslash once more; a literal % is doubled.
string(REPLACE "\\" "\\\\\\\\" quoted "${program}")
string(REPLACE "\"" "\\\\\"" quoted "${quoted}")
string(REPLACE "`" "\\\\`" quoted "${quoted}")
string(REPLACE "$" "\\\\$" quoted "${quoted}")
string(REPLACE "%" "%%" quoted "${quoted}")

file(READ "${WATTLINE_DESKTOP_SOURCE}" entry)
string(FIND "${entry}" "\nExec=wattline\n" found)
if(found EQUAL -1)
  message(FATAL_ERROR "${WATTLINE_DESKTOP_SOURCE} has no line Exec=wattline")
endif()
string(REPLACE "\nExec=wattline\n" "\nExec=\"${quoted}\"\n" entry "${entry}")

set(directory "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/${WATTLINE_DATADIR}/applications")
message(STATUS "Installing: ${directory}/wattline.desktop")
file(MAKE_DIRECTORY "${directory}")
file(WRITE "${directory}/wattline.desktop" "${entry}")
list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${directory}/wattline.desktop")
