# The installed layout (cmake --install BUILD --prefix P) and its Debian
# package (cpack -G DEB in BUILD):
#   P/bin/dravik, P/bin/dravik-cli           the programs
#   P/lib/lib{zoltdev,langres,wnaspi32}.so   found through the programs' run path
#   P/share/dravik/                          device database, animation, splash, help pages
#   P/share/applications/dravik.desktop, P/share/icons/hicolor/..., P/share/metainfo/
#   P/share/man/man1/dravik.1, dravik-cli.1
# The programs look for their data beside them first (the build tree), then
# in ../share/dravik (program/diag/data_files.h).
include(GNUInstallDirs)
set(DRAVIK_DATA_DIR ${CMAKE_INSTALL_DATADIR}/dravik)

# The programs carry one run path that serves both the build tree (the
# libraries beside them) and the installation (in ../lib), so it is not
# rewritten at install time: CMake pads a path it will rewrite with empty
# entries, and the loader takes an empty entry for the current folder.
foreach(program dravik-cli dravik)
  if(TARGET ${program})
    set_target_properties(${program} PROPERTIES BUILD_WITH_INSTALL_RPATH ON INSTALL_RPATH "$ORIGIN:$ORIGIN/../lib")
  endif()
endforeach()
install(TARGETS dravik-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The libraries are copied as built: their run path ($ORIGIN) already
# fits lib/, and they link no library of the project.
install(PROGRAMS $<TARGET_FILE:zoltdev> $<TARGET_FILE:langres> $<TARGET_FILE:wnaspi32> DESTINATION lib)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/Shared/ DESTINATION ${DRAVIK_DATA_DIR})
install(FILES ${CMAKE_SOURCE_DIR}/docs/man/dravik-cli.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

if(DRAVIK_GUI)
  install(TARGETS dravik RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${CMAKE_SOURCE_DIR}/program/shell/art/DRAVIK.anm ${CMAKE_BINARY_DIR}/bin/dravik.sph
          DESTINATION ${DRAVIK_DATA_DIR})
  install(DIRECTORY ${CMAKE_SOURCE_DIR}/help/ DESTINATION ${DRAVIK_DATA_DIR}/help)
  install(FILES ${CMAKE_SOURCE_DIR}/program/shell/desktop/dravik.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${CMAKE_SOURCE_DIR}/program/shell/desktop/example.quenby.dravik.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  install(DIRECTORY ${CMAKE_BINARY_DIR}/icons/hicolor DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)
  install(FILES ${CMAKE_SOURCE_DIR}/docs/man/dravik.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

set(CPACK_PACKAGE_NAME dravik)
set(CPACK_PACKAGE_VENDOR "Quenby")
set(CPACK_PACKAGE_CONTACT "Dravik developers <dev@dravik.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Recovers files from CDs and disc images")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
# Quick to build; the package is small.
set(CPACK_DEBIAN_COMPRESSION_TYPE gzip)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libstdc++6")
if(DRAVIK_GUI)
  string(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS ", libqt6widgets6, libqt6uitools6")
endif()
include(CPack)
