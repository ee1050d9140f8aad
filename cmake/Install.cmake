# Installs the libraries, the public header, a CMake package and a pkg-config file, so that a
# consumer writes find_package(Tessaryn) and links Tessaryn::tessaryn (or
# Tessaryn::tessaryn_static), or asks pkg-config for tessaryn. Two components, as Debian
# splits them: Runtime (the shared library under its SONAME, the DLL) and Development
# (everything a build needs: header, static and import libraries, the .so link, the
# package files).
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

install(TARGETS tessaryn tessaryn_static
  EXPORT TessarynTargets
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT Runtime
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Runtime
          NAMELINK_COMPONENT Development
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Development)
install(FILES exports/tessaryn.h exports/tessaryn_stream.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
  COMPONENT Development)

set(tessaryn_package_dir ${CMAKE_INSTALL_LIBDIR}/cmake/Tessaryn)
install(EXPORT TessarynTargets NAMESPACE Tessaryn:: DESTINATION ${tessaryn_package_dir}
  COMPONENT Development)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/TessarynConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES cmake/TessarynConfig.cmake ${PROJECT_BINARY_DIR}/TessarynConfigVersion.cmake
  DESTINATION ${tessaryn_package_dir} COMPONENT Development)

# tessaryn.pc names its prefix, which is known only when installing (cmake --install
# --prefix may move it): the file is configured here but for the prefix, and finished by the
# install step.
set(tessaryn_pc_prefix "@tessaryn_pc_prefix@")
foreach(kind IN ITEMS libdir includedir)
  string(TOUPPER ${kind} upper)
  if(IS_ABSOLUTE "${CMAKE_INSTALL_${upper}}")
    set(tessaryn_pc_${kind} "${CMAKE_INSTALL_${upper}}")
  else()
    set(tessaryn_pc_${kind} "\${prefix}/${CMAKE_INSTALL_${upper}}")
  endif()
endforeach()
configure_file(cmake/tessaryn.pc.in ${PROJECT_BINARY_DIR}/pkgconfig/tessaryn.pc.in @ONLY)
install(CODE "
  set(tessaryn_pc_prefix \"\${CMAKE_INSTALL_PREFIX}\")
  configure_file(\"${PROJECT_BINARY_DIR}/pkgconfig/tessaryn.pc.in\"
                 \"${PROJECT_BINARY_DIR}/pkgconfig/tessaryn.pc\" @ONLY)
  file(INSTALL DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/pkgconfig\"
       TYPE FILE FILES \"${PROJECT_BINARY_DIR}/pkgconfig/tessaryn.pc\")"
  COMPONENT Development)
