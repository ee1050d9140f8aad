# Installs the libraries, the public header and a CMake package, so that a consumer writes
# find_package(Tessaryn) and links Tessaryn::tessaryn (or Tessaryn::tessaryn_static).
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

install(TARGETS tessaryn tessaryn_static
  EXPORT TessarynTargets
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(FILES exports/tessaryn.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

set(tessaryn_package_dir ${CMAKE_INSTALL_LIBDIR}/cmake/Tessaryn)
install(EXPORT TessarynTargets NAMESPACE Tessaryn:: DESTINATION ${tessaryn_package_dir})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/TessarynConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES cmake/TessarynConfig.cmake ${PROJECT_BINARY_DIR}/TessarynConfigVersion.cmake
  DESTINATION ${tessaryn_package_dir})
