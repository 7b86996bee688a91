# Installing Plumtide like a Linux program (cmake --install) and its Debian package (cpack),
# built by scripts/package.sh.

include(GNUInstallDirs)

set(PLUMTIDE_DIST ${PROJECT_SOURCE_DIR}/dist)
find_program(GZIP_PROGRAM gzip REQUIRED)

# Manual pages and the changelog are installed compressed, without a time stamp in the
# gzip header, so that the same sources give the same package.
function(plumtide_gzip source output)
    add_custom_command(OUTPUT ${output}
        COMMAND ${GZIP_PROGRAM} -9 -n -c ${source} > ${output}
        DEPENDS ${source}
        VERBATIM)
endfunction()
set(dist_out ${CMAKE_CURRENT_BINARY_DIR}/dist)
file(MAKE_DIRECTORY ${dist_out})
plumtide_gzip(${PLUMTIDE_DIST}/plumtide.1 ${dist_out}/plumtide.1.gz)
# plumtide-cli's page is its prose with each command's section filled in by plumtide-cli
# itself, from the table its help and its options are made from.
add_custom_command(OUTPUT ${dist_out}/plumtide-cli.1
    COMMAND plumtide-cli --manual-page ${PLUMTIDE_DIST}/plumtide-cli.1.in > ${dist_out}/plumtide-cli.1
    DEPENDS plumtide-cli ${PLUMTIDE_DIST}/plumtide-cli.1.in
    VERBATIM)
plumtide_gzip(${dist_out}/plumtide-cli.1 ${dist_out}/plumtide-cli.1.gz)
plumtide_gzip(${PLUMTIDE_DIST}/changelog ${dist_out}/changelog.gz)
add_custom_target(plumtide_dist ALL DEPENDS
    ${dist_out}/plumtide.1.gz ${dist_out}/plumtide-cli.1.gz ${dist_out}/changelog.gz)

set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
if(PLUMTIDE_BUILD_GUI)
    install(FILES ${PLUMTIDE_DIST}/plumtide.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES ${PLUMTIDE_DIST}/org.example.plumtide.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
    foreach(size 16 22 24 32 48 64 128 256)
        install(FILES ${PROJECT_SOURCE_DIR}/resources/images/plumtide-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME plumtide.png)
    endforeach()
    install(FILES ${dist_out}/plumtide.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()
install(FILES ${dist_out}/plumtide-cli.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# The watch as a systemd user service (systemd looks in lib/systemd/user of /usr and of
# /usr/local).
install(FILES ${PLUMTIDE_DIST}/plumtide-watch.service DESTINATION lib/systemd/user)
install(FILES ${PLUMTIDE_DIST}/copyright ${dist_out}/changelog.gz
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/plumtide)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME plumtide)
set(CPACK_PACKAGE_VENDOR "The Plumtide developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "file new mp3 files into the folders of their artists")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Plumtide keeps a music collection filed. It watches a source folder where new\n"
    "mp3 files arrive, reads each file's artist from its ID3 tag, finds the\n"
    "sub-folder of the destination folder named after that artist, and moves the\n"
    "file there. Doubles are set aside, deleted or kept, small files can be\n"
    "deleted, folders can be created for new artists, and sorting can run by\n"
    "itself on a timer from the notification area.\n"
    "\n"
    "The package holds the desktop program plumtide and plumtide-cli, which does\n"
    "the same without a window, for servers and scripts.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The Plumtide developers <developers@plumtide.example.org>")
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${PROJECT_HOMEPAGE_URL})
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Libraries the programs link are found by dpkg-shlibdeps; Qt's plugins, loaded at run
# time, it cannot see: the X11 platform plugin is needed, the Wayland one recommended.
# The footer's link opens the home page through xdg-open.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland, xdg-utils")
include(CPack)
