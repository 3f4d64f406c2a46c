# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the energy service's systemd unit and D-Bus activation file so that they start the installed
# service by its absolute path, for whatever prefix the install is given. Runs at install time with
# WATTLINE_PACKAGING, WATTLINE_LIBEXECDIR, WATTLINE_DATADIR and WATTLINE_SYSTEMD_UNITDIR set.
set(program "${CMAKE_INSTALL_PREFIX}/${WATTLINE_LIBEXECDIR}/wattline-energyd")
# Both systemd and the bus split their command lines like a shell: a double-quoted path may hold spaces.
if(program MATCHES "[\"\\\\$`%]")
  message(FATAL_ERROR "wattline-energyd cannot be started from a path with \" \\ $ ` or %: ${program}")
endif()
set(WATTLINE_ENERGYD_COMMAND "\"${program}\"")

foreach(pair
    "wattline-energyd.service.in|${WATTLINE_SYSTEMD_UNITDIR}/wattline-energyd.service"
    "local.wattline.EnergyCounters1.service.in|${WATTLINE_DATADIR}/dbus-1/system-services/local.wattline.EnergyCounters1.service")
  string(REPLACE "|" ";" pair "${pair}")
  list(GET pair 0 source)
  list(GET pair 1 target)
  if(NOT IS_ABSOLUTE "${target}")
    set(target "${CMAKE_INSTALL_PREFIX}/${target}")
  endif()
  set(target "$ENV{DESTDIR}${target}")
  message(STATUS "Installing: ${target}")
  configure_file("${WATTLINE_PACKAGING}/${source}" "${target}" @ONLY)
  list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${target}")
endforeach()
