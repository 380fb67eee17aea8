# SPDX-License-Identifier: GPL-3.0-or-later
# Installing Kestrum as a Linux desktop program (cmake --install) and packaging it as a .deb
# (cpack -G DEB). Everything comes from this checkout; nothing is downloaded. The rules do not
# depend on whether the window is built: the package's Depends come from the libraries the
# program links (dpkg-shlibdeps).
include(GNUInstallDirs)

# Debian wants 0755 directories whatever the umask of the build.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(KESTRUM_DOC_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/kestrum)
# The help pages are the program's own data (the window's Help opens them), so they live
# beside it and not under doc/, which minimal systems leave out.
set(KESTRUM_HELP_DIR ${CMAKE_INSTALL_DATADIR}/kestrum/help)

# The man page and the changelog go compressed, as Debian packages carry them.
find_program(KESTRUM_GZIP gzip REQUIRED)
set(_kestrum_compressed)
foreach(_source packaging/kestrum.1 packaging/changelog)
  get_filename_component(_name ${_source} NAME)
  set(_out ${PROJECT_BINARY_DIR}/packaging/${_name}.gz)
  add_custom_command(OUTPUT ${_out}
    COMMAND ${CMAKE_COMMAND} -DIN=${PROJECT_SOURCE_DIR}/${_source} -DOUT=${_out}
            -P ${PROJECT_SOURCE_DIR}/cmake/Gzip.cmake
    DEPENDS ${PROJECT_SOURCE_DIR}/${_source} ${PROJECT_SOURCE_DIR}/cmake/Gzip.cmake
    COMMENT "Compressing ${_name}" VERBATIM)
  list(APPEND _kestrum_compressed ${_out})
endforeach()

# The help pages also sit beside the program in the build tree, where the program looks for
# them when it runs from there.
file(GLOB _kestrum_help_pages CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/docs/help/*)
set(_kestrum_help_copies)
foreach(_page ${_kestrum_help_pages})
  get_filename_component(_name ${_page} NAME)
  set(_copy ${PROJECT_BINARY_DIR}/share/kestrum/help/${_name})
  add_custom_command(OUTPUT ${_copy}
    COMMAND ${CMAKE_COMMAND} -E copy ${_page} ${_copy}
    DEPENDS ${_page} VERBATIM)
  list(APPEND _kestrum_help_copies ${_copy})
endforeach()
add_custom_target(kestrum_data ALL DEPENDS ${_kestrum_compressed} ${_kestrum_help_copies})

# The dynamic linker resolves every symbol at start, so the relocation table can be read-only.
target_link_options(kestrum PRIVATE -Wl,-z,relro,-z,now)
install(TARGETS kestrum RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES packaging/kestrum.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES packaging/kestrum.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${PROJECT_BINARY_DIR}/packaging/kestrum.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${_kestrum_help_pages} DESTINATION ${KESTRUM_HELP_DIR})
install(FILES examples/blink.asm examples/blink.hex DESTINATION ${KESTRUM_DOC_DIR}/examples)
# The smartcard boot loader, for loading it into a card's PIC by hand.
install(FILES firmware/boot_loader.asm firmware/boot_loader.hex
        DESTINATION ${KESTRUM_DOC_DIR}/firmware)
install(FILES packaging/copyright ${PROJECT_BINARY_DIR}/packaging/changelog.gz
        DESTINATION ${KESTRUM_DOC_DIR})
# The FTDI chips for group plugdev, so the FTDI programmer types need no root.
install(FILES packaging/60-kestrum-ftdi.rules DESTINATION lib/udev/rules.d)

# The .deb.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kestrum)
set(CPACK_PACKAGE_VENDOR "Kestrum developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Kestrum maintainers <maintainers@users.noreply.c-seed-36e6e84a.example>"
    CACHE STRING "Maintainer of the .deb")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "device programmer for PICs, serial EEPROMs and flash microcontrollers")
set(CPACK_PACKAGE_DESCRIPTION
    "Kestrum reads, programs, verifies, erases and blank-checks programmable parts\n"
    "through simple bit-banged programmer hardware on a serial or parallel port:\n"
    "PIC microcontrollers, I2C, Microwire, 4-wire and SPI EEPROMs, AVR and\n"
    "8051-family flash microcontrollers, an IM-Bus EEPROM and PIC smartcards.\n"
    "Ten programmer designs are supported. A virtual programmer with chip models\n"
    "runs everything without hardware and records the programmer's pins as a VCD\n"
    "trace.")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# dpkg-shlibdeps turns the libraries the program links (Qt 6, the C++ runtime) into Depends.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The window needs a Qt platform plugin, which no library names.
if(TARGET kestrum_gui)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
endif()
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/package)
include(CPack)
