# The suite's directories outside its programs' folders, and the Debian package.

set(QUINTARO_SPOOL "/var/spool" CACHE PATH "Spool directory of the suite's definition files")

# Both spool trees: the job formatter's (queues, suite properties) and the transport
# command builder's (queues and devices). Written by the administration scripts,
# which run as the superuser; everyone may read them (jobs are formatted as the
# spooler's account).
foreach(dir printer/unix_prt_drivers/vir_queues printer/unix_prt_drivers/.quintaro/props
            corvane/unix_prt_drivers/vir_queues corvane/unix_prt_drivers/vir_devices)
  install(DIRECTORY DESTINATION ${QUINTARO_SPOOL}/${dir}
          DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                WORLD_READ WORLD_EXECUTE)
endforeach()

install(FILES ${PROJECT_SOURCE_DIR}/sample/banners/sample_banner
        DESTINATION ${QUINTARO_PREFIX}/etc/banners)

# cpack -G DEB: one package holding the whole suite at its fixed places.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quintaro)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Printer driver suite for Unix and Linux print spoolers")
set(CPACK_PACKAGE_CONTACT "Quintaro developers <quintaro@localhost>")
set(CPACK_SET_DESTDIR ON)
# Every path is absolute: no install prefix of its own in the package.
set(CPACK_PACKAGING_INSTALL_PREFIX "/")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION admin)
# The shared libraries the programs link, found by dpkg-shlibdeps; the scripts need a
# POSIX shell, coreutils, sed and bash (the printer probe of quintspool).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "coreutils, sed, bash")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/cmake/debian/postinst)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
