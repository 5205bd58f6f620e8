# What an installation holds, by component:
#   runtime  the library with its soname link
#   dev      headers under include/grshm/, the development link, grshm.pc, the CMake package
#   web      the programs in GRSHM_CGI_DIR, the pages, the lighttpd configuration, grshm-user,
#            grshm-web-keys, grshm-web-hosts and its list, the firewall rule set
#   tools    the grshm inspector
# cmake --install BUILD --prefix P [--strip] [--component C], with DESTDIR for staging. The
# installed files carry no RUNPATH of the build folder (CMake rewrites it to none).
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(GRSHM_CGI_DIR "lib/cgi-bin" CACHE STRING "Where the CGI programs go, relative to the prefix (Debian's lighttpd: lib/cgi-bin)")
set(GRSHM_PAGES_DIR "${CMAKE_INSTALL_DATADIR}/grshm/www" CACHE STRING "Where the pages go, relative to the prefix")
set(GRSHM_CMAKE_DIR "${CMAKE_INSTALL_LIBDIR}/cmake/grshm")

install(TARGETS grshm EXPORT grshmTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT dev)
file(GLOB GRSHM_PUBLIC_HEADERS ${PROJECT_SOURCE_DIR}/commn/*.h)
install(FILES ${GRSHM_PUBLIC_HEADERS} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/grshm COMPONENT dev)

# pkg-config and find_package(grshm) -> grshm::grshm, both relative to where they are installed.
file(RELATIVE_PATH GRSHM_PC_TO_PREFIX "/prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/prefix")
configure_file(${PROJECT_SOURCE_DIR}/cmake/grshm.pc.in ${PROJECT_BINARY_DIR}/grshm.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/grshm.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT dev)
install(EXPORT grshmTargets NAMESPACE grshm:: DESTINATION ${GRSHM_CMAKE_DIR} COMPONENT dev)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/grshmConfig.cmake.in
  ${PROJECT_BINARY_DIR}/grshmConfig.cmake INSTALL_DESTINATION ${GRSHM_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/grshmConfigVersion.cmake COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/grshmConfig.cmake ${PROJECT_BINARY_DIR}/grshmConfigVersion.cmake
  DESTINATION ${GRSHM_CMAKE_DIR} COMPONENT dev)

install(TARGETS linkreport rolekind gnssreport linkconfig changelog settings login RUNTIME DESTINATION ${GRSHM_CGI_DIR} COMPONENT web)
install(TARGETS grshm_user RUNTIME DESTINATION ${CMAKE_INSTALL_SBINDIR} COMPONENT web)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/web/ DESTINATION ${GRSHM_PAGES_DIR} COMPONENT web)
install(PROGRAMS ${PROJECT_SOURCE_DIR}/tools/lighttpd/grshm-web-keys
  ${PROJECT_SOURCE_DIR}/tools/lighttpd/grshm-web-hosts
  DESTINATION ${CMAKE_INSTALL_SBINDIR} COMPONENT web)
# The firewall rule set that bounds each client's share of the web server: for the board's image
# or its owner to load (a package does not change a machine's firewall by itself).
install(FILES ${PROJECT_SOURCE_DIR}/tools/lighttpd/grshm-web.nft DESTINATION ${CMAKE_INSTALL_DATADIR}/grshm COMPONENT web)
# lighttpd's conf-available snippet: the installed folders, then the shared configuration and
# its HTTPS part.
set(GRSHM_PAGES_PATH "${CMAKE_INSTALL_PREFIX}/${GRSHM_PAGES_DIR}")
set(GRSHM_CGI_PATH "${CMAKE_INSTALL_PREFIX}/${GRSHM_CGI_DIR}")
set(GRSHM_KEYS_TOOL "${CMAKE_INSTALL_FULL_SBINDIR}/grshm-web-keys")
set(GRSHM_HOSTS_TOOL "${CMAKE_INSTALL_FULL_SBINDIR}/grshm-web-hosts")
set(GRSHM_HOSTS_FILE "${CMAKE_INSTALL_FULL_SYSCONFDIR}/lighttpd/grshm-hosts")
install(FILES ${PROJECT_SOURCE_DIR}/tools/lighttpd/grshm-hosts DESTINATION ${CMAKE_INSTALL_FULL_SYSCONFDIR}/lighttpd
  COMPONENT web)
set(GRSHM_TLS_DIR "${CMAKE_INSTALL_FULL_SYSCONFDIR}/lighttpd/grshm-tls")
file(READ ${PROJECT_SOURCE_DIR}/tools/lighttpd/grshm-web.conf GRSHM_WEB_CONF)
file(READ ${PROJECT_SOURCE_DIR}/tools/lighttpd/grshm-tls.conf GRSHM_TLS_CONF)
configure_file(${PROJECT_SOURCE_DIR}/tools/lighttpd/90-grshm.conf.in ${PROJECT_BINARY_DIR}/90-grshm.conf @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/90-grshm.conf
  DESTINATION ${CMAKE_INSTALL_FULL_SYSCONFDIR}/lighttpd/conf-available COMPONENT web)

install(TARGETS grshm_tool RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tools)
