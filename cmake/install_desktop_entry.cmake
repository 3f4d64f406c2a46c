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

# The entry keeps its file name, the application's id.
get_filename_component(name "${WATTLINE_DESKTOP_SOURCE}" NAME)
set(target "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/${WATTLINE_DATADIR}/applications/${name}")
message(STATUS "Installing: ${target}")
file(WRITE "${target}" "${entry}")
list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${target}")
