# Installation and the Debian package.
#
# Layout under the prefix:
#   bin/quillet                  a launcher that makes share/quillet the current directory
#   libexec/quillet/quillet      the program
#   share/quillet/               tool/Quillet.sh and the manuals, looked up relative to the
#                                current directory
#   share/applications, share/icons/hicolor, share/metainfo, share/man/man1, share/doc/quillet
# The launcher finds the other two relative to itself, so `cmake --install --prefix ANY` and the
# package (prefix /usr) use the same files.
include(GNUInstallDirs)
# Installing (and so cpack) takes what is built and never builds everything first: the package
# needs only `quillet_app`, which `scripts/dev.sh package` builds.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(QUILLET_INSTALL_WORKDIR ${CMAKE_INSTALL_DATADIR}/quillet)
set(QUILLET_INSTALL_PROGRAMDIR ${CMAKE_INSTALL_LIBEXECDIR}/quillet)
set(QUILLET_APPSTREAM_ID invalid.quillet.Quillet)
set(QUILLET_PACKAGING_DIR ${CMAKE_CURRENT_LIST_DIR})
set(QUILLET_PACKAGING_BINARY_DIR ${CMAKE_BINARY_DIR}/packaging)

# The launcher, with the paths from bin/ to the data folder and to the program.
file(RELATIVE_PATH QUILLET_LAUNCHER_TO_DATA /${CMAKE_INSTALL_BINDIR} /${QUILLET_INSTALL_WORKDIR})
file(RELATIVE_PATH QUILLET_LAUNCHER_TO_PROGRAM /${CMAKE_INSTALL_BINDIR}
     /${QUILLET_INSTALL_PROGRAMDIR}/quillet)
configure_file(${QUILLET_PACKAGING_DIR}/quillet.in ${QUILLET_PACKAGING_BINARY_DIR}/quillet @ONLY)

# Debian wants its manual page and changelog compressed, and the same bytes at every build.
set(QUILLET_GZIPPED)
foreach(source quillet.1 changelog)
  set(gzipped ${QUILLET_PACKAGING_BINARY_DIR}/${source}.gz)
  add_custom_command(OUTPUT ${gzipped}
    COMMAND sh -c "gzip -9 -n -c \"$1\" > \"$2\"" sh ${QUILLET_PACKAGING_DIR}/${source} ${gzipped}
    DEPENDS ${QUILLET_PACKAGING_DIR}/${source}
    COMMENT "Compressing ${source}"
    VERBATIM)
  list(APPEND QUILLET_GZIPPED ${gzipped})
endforeach()
add_custom_target(quillet_packaging_files ALL DEPENDS ${QUILLET_GZIPPED})

# Everything the installation takes from the build; `scripts/dev.sh run` and `package` build
# only this.
add_custom_target(quillet_app)
add_dependencies(quillet_app quillet quillet_manuals quillet_icons quillet_packaging_files)

install(PROGRAMS ${QUILLET_PACKAGING_BINARY_DIR}/quillet DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS quillet RUNTIME DESTINATION ${QUILLET_INSTALL_PROGRAMDIR})
install(PROGRAMS tool/Quillet.sh DESTINATION ${QUILLET_INSTALL_WORKDIR}/tool)
install(FILES ${QUILLET_MANUALS} DESTINATION ${QUILLET_INSTALL_WORKDIR})
install(DIRECTORY ${CMAKE_BINARY_DIR}/icons/ DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)
install(FILES ${QUILLET_PACKAGING_DIR}/${QUILLET_APPSTREAM_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${QUILLET_PACKAGING_BINARY_DIR}/quillet.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${QUILLET_PACKAGING_DIR}/copyright ${QUILLET_PACKAGING_BINARY_DIR}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quillet)
# The entry names absolute paths under the prefix given at install time.
install(CODE "
  set(QUILLET_EXEC \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/quillet\")
  set(QUILLET_WORKDIR \"\${CMAKE_INSTALL_PREFIX}/${QUILLET_INSTALL_WORKDIR}\")
  configure_file(\"${CMAKE_SOURCE_DIR}/res/quillet.desktop.in\"
                 \"${QUILLET_PACKAGING_BINARY_DIR}/quillet.desktop\" @ONLY)
  file(INSTALL \"${QUILLET_PACKAGING_BINARY_DIR}/quillet.desktop\"
       DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/applications\")
")

# The Debian package: `cpack -G DEB` in the build folder makes quillet_<version>_amd64.deb.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillet)
set(CPACK_PACKAGE_VENDOR Morvel)
set(CPACK_PACKAGE_CONTACT "Quillet developers <dev@quillet.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "manager for X.509 certificates, private keys and CSRs")
set(CPACK_PACKAGE_DESCRIPTION
    "Quillet is a desktop tool with which an operator creates and looks after X.509
certificates, their private keys and certificate signing requests, kept in one
per-user folder. It lists the folder's files live, shows the fields of a
certificate, and creates a new key, request and self-signed certificate through
a form that runs the openssl command-line tool.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Libraries come from dpkg-shlibdeps; the rest is what the program runs or shows:
# the generator script needs openssl, HELP and the folder fallback of Show Certificate File
# go through xdg-open, and the Japanese texts need a font with their glyphs.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "openssl, xdg-utils, fonts-ipafont-gothic")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
