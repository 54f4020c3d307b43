# Installation and the Debian package.
#
# The core library is private to the program: it goes to <libdir>/pictavo and both
# executables find it through their run path, relative to where they are installed.
# On a multiarch system <libdir> is lib/<arch> whatever the prefix (GNUInstallDirs picks
# it for /usr only), so that the package is the same from any configured tree; a plain
# lib/pictavo would also make the package run ldconfig, which its library does not need.
if(CMAKE_LIBRARY_ARCHITECTURE AND EXISTS /etc/debian_version)
  set(PICTAVO_PRIVATE_LIBDIR lib/${CMAKE_LIBRARY_ARCHITECTURE}/pictavo)
else()
  set(PICTAVO_PRIVATE_LIBDIR ${CMAKE_INSTALL_LIBDIR}/pictavo)
endif()
file(RELATIVE_PATH pictavo_bin_to_lib
     ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}
     ${CMAKE_INSTALL_PREFIX}/${PICTAVO_PRIVATE_LIBDIR})
set_target_properties(pictavo pictavo-cli PROPERTIES
  INSTALL_RPATH "$ORIGIN/${pictavo_bin_to_lib}")
install(TARGETS pictavo pictavo-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS pictavo_core LIBRARY DESTINATION ${PICTAVO_PRIVATE_LIBDIR} NAMELINK_SKIP)
# A stripped install (as the package's) also drops the compilers' version notes, as
# Debian's own packages do.
install(CODE "
  if(CMAKE_INSTALL_DO_STRIP AND EXISTS \"${CMAKE_OBJCOPY}\")
    foreach(file ${CMAKE_INSTALL_BINDIR}/$<TARGET_FILE_NAME:pictavo>
                 ${CMAKE_INSTALL_BINDIR}/$<TARGET_FILE_NAME:pictavo-cli>
                 ${PICTAVO_PRIVATE_LIBDIR}/$<TARGET_FILE_NAME:pictavo_core>)
      execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --remove-section=.comment
                              \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/\${file}\"
                      COMMAND_ERROR_IS_FATAL ANY)
    endforeach()
  endif()")

set(CPACK_PACKAGE_NAME pictavo)
set(CPACK_PACKAGE_VENDOR "The Pictavo developers")
set(CPACK_PACKAGE_CONTACT "The Pictavo developers <pictavo@pictavo.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Photo database for the desktop")
# Lines of at most 80 characters, as the control file wants them.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "Pictavo keeps JPEG photographs whole, byte for byte, in a database of its own,"
  "with a prefix, a name and keywords, and lets you browse, filter, import and"
  "export them. It includes the command-line tool pictavo-cli and help pages in"
  "English and Japanese.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_GENERATOR DEB)
# The debugging information stays in the build; the package gets stripped programs.
set(CPACK_STRIP_FILES ON)
# A package lives under /usr whatever prefix the tree was configured with: the
# programs find their library and help pages relative to their own folder.
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The private library is scanned where it is built.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/src)
# Qt loads its platform plugin at run time, which the library scan cannot see.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
# Keywords and help pages in Japanese need a font that has the characters.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-ipafont-gothic")
include(CPack)
