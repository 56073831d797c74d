# Install rules of the system: programs into bin/, the control and its neighbours into one private folder.
#
# The control loads its outside libraries from its own folder, so everything it loads, and
# libqx_media.so which it shares with the camera library, lies in QX_INSTALL_MODULEDIR
# (<prefix>/lib/<multiarch>/qxcamera on Debian). Programs in bin/ reach it through a RUNPATH relative to
# $ORIGIN and find the control there with platform::controlModulesFolder(), which is why the
# relative path is baked into qx_platform below.
include(GNUInstallDirs)

# Relative to the prefix; the programs' view of it is relative to the bin folder.
set(QX_INSTALL_MODULEDIR "${CMAKE_INSTALL_LIBDIR}/qxcamera")
if(IS_ABSOLUTE "${QX_INSTALL_MODULEDIR}")
    file(RELATIVE_PATH QX_INSTALL_MODULEDIR "${CMAKE_INSTALL_PREFIX}" "${QX_INSTALL_MODULEDIR}")
endif()
file(RELATIVE_PATH QX_PROGRAM_TO_MODULES "${CMAKE_INSTALL_FULL_BINDIR}"
     "${CMAKE_INSTALL_PREFIX}/${QX_INSTALL_MODULEDIR}")

# udev reads rules from /usr/lib/udev/rules.d/ (not from a multiarch folder, and not from /usr/local).
set(QX_INSTALL_UDEVRULESDIR "lib/udev/rules.d")

# Programs: bin/, finding the private folder's shared libraries without LD_LIBRARY_PATH.
function(qx_install_program target)
    set_target_properties(${target} PROPERTIES INSTALL_RPATH "$ORIGIN/${QX_PROGRAM_TO_MODULES}")
    install(TARGETS ${target} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endfunction()

# The control, the outside libraries and the libraries they share: the private folder, each with
# $ORIGIN, since a library loaded by full path does not inherit its loader's RUNPATH.
function(qx_install_module target)
    set_target_properties(${target} PROPERTIES INSTALL_RPATH "$ORIGIN")
    install(TARGETS ${target} LIBRARY DESTINATION ${QX_INSTALL_MODULEDIR} NAMELINK_SKIP)
endfunction()

# A manual page: the section is the file's last extension (qxbridge.1 goes to man1/).
function(qx_install_manpage file)
    get_filename_component(name "${file}" NAME)
    string(REGEX MATCH "[0-9][a-z]*$" section "${name}")
    if(NOT section)
        message(FATAL_ERROR "qx_install_manpage: ${file} has no section extension")
    endif()
    string(SUBSTRING "${section}" 0 1 number)
    install(FILES "${file}" DESTINATION "${CMAKE_INSTALL_MANDIR}/man${number}")
endfunction()
