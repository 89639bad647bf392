# Installation of the seven tools and their manual pages, `uninstall`, and the Debian
# package. Included at the end of the top-level CMakeLists.txt, after every tool's folder.
#
#   cmake --install build [--prefix DIR]     programs to DIR/bin, pages to DIR/share/man/man1
#   cmake --build build --target uninstall   removes what the last install wrote
#   cmake --build build --target package     build/pic18kit_VERSION_ARCH.deb
#
# Both the install and `uninstall` honour DESTDIR from the environment.

include(GNUInstallDirs)

# Each tool and the folder that holds its program and its manual page.
set(KIT_INSTALLED_TOOLS
  steptab2:steptab steptab3:steptab
  branchscan:listing unlister:listing
  dumpflip:capture capsheet:capture
  pwmscope:pwmscope)

find_program(KIT_SCDOC scdoc)
find_program(KIT_GZIP gzip)
if(NOT KIT_SCDOC OR NOT KIT_GZIP)
  message(WARNING "scdoc or gzip not found: the manual pages are not built or installed "
                  "(bash scripts/deps installs them)")
endif()

set(KIT_MAN_DIR ${CMAKE_BINARY_DIR}/man)
set(kit_man_pages)
foreach(entry IN LISTS KIT_INSTALLED_TOOLS)
  string(REPLACE ":" ";" entry "${entry}")
  list(GET entry 0 tool)
  list(GET entry 1 folder)
  if(NOT TARGET ${tool})
    continue()
  endif()
  install(TARGETS ${tool} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

  set(source ${PROJECT_SOURCE_DIR}/${folder}/${tool}.1.scd)
  if(KIT_SCDOC AND KIT_GZIP AND EXISTS ${source})
    # The plain page is what `man -l` and the tests read; the compressed one is installed,
    # as Debian keeps its pages (gzip -n: without the file's name and time inside).
    set(page ${KIT_MAN_DIR}/${tool}.1)
    add_custom_command(
      OUTPUT ${page} ${page}.gz
      COMMAND ${CMAKE_COMMAND} -E make_directory ${KIT_MAN_DIR}
      COMMAND sh -c "\"$1\" < \"$2\" > \"$3\" && \"$4\" -9nc \"$3\" > \"$3.gz\""
              sh ${KIT_SCDOC} ${source} ${page} ${KIT_GZIP}
      DEPENDS ${source}
      COMMENT "Manual page ${tool}(1)"
      VERBATIM)
    list(APPEND kit_man_pages ${page} ${page}.gz)
    install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endif()
endforeach()
add_custom_target(man ALL DEPENDS ${kit_man_pages})

# `uninstall` removes exactly the files listed by the last install in its manifest.
add_custom_target(uninstall
  COMMAND ${CMAKE_COMMAND} -DMANIFEST=${CMAKE_BINARY_DIR}/install_manifest.txt
          -P ${CMAKE_CURRENT_LIST_DIR}/uninstall.cmake
  COMMENT "Removing the installed files"
  VERBATIM)

# The Debian package: the same files under /usr.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pic18kit)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "PIC18 kit authors")
set(CPACK_PACKAGE_CONTACT "PIC18 kit authors <pic18kit@example.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "console tools for PIC18 firmware developers")
set(CPACK_PACKAGE_DESCRIPTION "\
Seven small tools for people who write PIC18 firmware: steptab2 and steptab3
write nearest-prime step tables as assembler include files; branchscan finds
branches close to their range in a disassembly listing, and unlister turns a
listing back into PIC18F4550 source; dumpflip turns files into hex text and
back; capsheet turns a binary USART capture into spreadsheet text; pwmscope
replays a USART capture of PWM firmware as oscilloscope traces in a window,
or as a PNG picture.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES TRUE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# The run-time libraries (SDL2, libpng, the C and C++ libraries) are found by
# dpkg-shlibdeps from the programs themselves; without it the list is written out.
find_program(KIT_DPKG_SHLIBDEPS dpkg-shlibdeps)
find_program(KIT_FILE file)
if(KIT_DPKG_SHLIBDEPS AND KIT_FILE)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS
      "libc6, libgcc-s1, libstdc++6, libsdl2-2.0-0, libpng16-16")
endif()

include(CPack)
