# Removes every file that an install wrote, as listed in its manifest, below $DESTDIR
# when that is set, as the install itself does. Folders are left: they may hold other
# programs' files (/usr/local/bin).
#
#   cmake -DMANIFEST=build/install_manifest.txt -P cmake/uninstall.cmake

if(NOT EXISTS "${MANIFEST}")
  message(FATAL_ERROR "nothing to uninstall: ${MANIFEST} is missing (install first)")
endif()

file(STRINGS "${MANIFEST}" installed)
set(failed)
foreach(file IN LISTS installed)
  set(path "$ENV{DESTDIR}${file}")
  if(IS_SYMLINK "${path}" OR EXISTS "${path}")
    message(STATUS "Removing ${path}")
    file(REMOVE "${path}")
    if(IS_SYMLINK "${path}" OR EXISTS "${path}")
      list(APPEND failed "${path}")
    endif()
  else()
    message(STATUS "Not there: ${path}")
  endif()
endforeach()
if(failed)
  list(JOIN failed "\n  " failed)
  message(FATAL_ERROR "could not remove:\n  ${failed}")
endif()
