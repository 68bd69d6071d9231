# Packages a user installs (cmake --build --preset <preset> --target package):
#   POSIX:   configurator_<version>_amd64.deb: the program, its manual page, the copyright file
#            and changelog Debian expects; dependencies computed from the binary (dpkg-shlibdeps).
#   Windows: Configurator-<version>-x86.zip: Configurator.exe, Configurator.com when it is built,
#            README.txt for Windows users and LICENSE.txt.
#   POSIX with CONFIGURATOR_STATIC: configurator-<version>-linux-<processor>.tar.gz, for a live
#            system: the statically linked program, its manual page, README.txt (the rescue
#            steps) and LICENSE, in one folder named after the tarball.
# The version is the project's (project() in CMakeLists.txt).
set(packaging_dir ${CMAKE_SOURCE_DIR}/packaging)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "tuning tool for the QEL 700 family of 3D graphics boards")
set(CPACK_PACKAGE_CONTACT "Configurator developers <configurator@example.org>")
set(CPACK_PACKAGE_CHECKSUM SHA256)

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_NAME Configurator)
  set(CPACK_PACKAGE_FILE_NAME Configurator-${PROJECT_VERSION}-x86)
  # Notepad on older Windows shows only CRLF line ends as lines.
  configure_file(${packaging_dir}/windows/README.txt ${CMAKE_BINARY_DIR}/packaging/README.txt @ONLY
                 NEWLINE_STYLE CRLF)
  configure_file(${CMAKE_SOURCE_DIR}/LICENSE ${CMAKE_BINARY_DIR}/packaging/LICENSE.txt @ONLY NEWLINE_STYLE CRLF)
  install(TARGETS Configurator RUNTIME DESTINATION .)
  if(TARGET ConfiguratorConsole)
    install(PROGRAMS $<TARGET_FILE:ConfiguratorConsole> DESTINATION .)
  endif()
  install(FILES ${CMAKE_BINARY_DIR}/packaging/README.txt ${CMAKE_BINARY_DIR}/packaging/LICENSE.txt DESTINATION .)
elseif(CONFIGURATOR_STATIC)
  set(CPACK_GENERATOR TGZ)
  set(CPACK_PACKAGE_NAME configurator)
  set(CPACK_PACKAGE_FILE_NAME configurator-${PROJECT_VERSION}-linux-${CMAKE_SYSTEM_PROCESSOR})
  set(CPACK_STRIP_FILES ON)
  set(doc_build_dir ${CMAKE_BINARY_DIR}/packaging)
  configure_file(${packaging_dir}/configurator.1.in ${doc_build_dir}/configurator.1 @ONLY)
  configure_file(${packaging_dir}/linux/README.txt ${doc_build_dir}/README.txt @ONLY)
  install(TARGETS configurator RUNTIME DESTINATION .)
  install(FILES ${doc_build_dir}/configurator.1 ${doc_build_dir}/README.txt ${CMAKE_SOURCE_DIR}/LICENSE DESTINATION .)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGE_NAME configurator)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
  set(CPACK_STRIP_FILES ON)
  file(READ ${packaging_dir}/debian/description description)
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "${description}")

  # Debian wants the manual page and the changelog compressed, reproducibly (no name, no time).
  set(doc_build_dir ${CMAKE_BINARY_DIR}/packaging)
  configure_file(${packaging_dir}/configurator.1.in ${doc_build_dir}/configurator.1 @ONLY)
  add_custom_command(
    OUTPUT ${doc_build_dir}/configurator.1.gz ${doc_build_dir}/changelog.gz
    COMMAND gzip -9nc ${doc_build_dir}/configurator.1 > ${doc_build_dir}/configurator.1.gz
    COMMAND gzip -9nc ${packaging_dir}/debian/changelog > ${doc_build_dir}/changelog.gz
    DEPENDS ${doc_build_dir}/configurator.1 ${packaging_dir}/debian/changelog
    COMMENT "Compressing the manual page and the changelog")
  add_custom_target(package_documents ALL DEPENDS ${doc_build_dir}/configurator.1.gz ${doc_build_dir}/changelog.gz)
  install(TARGETS configurator RUNTIME DESTINATION bin)
  install(FILES ${doc_build_dir}/configurator.1.gz DESTINATION share/man/man1)
  install(FILES ${packaging_dir}/debian/copyright ${doc_build_dir}/changelog.gz DESTINATION share/doc/configurator)
endif()
include(CPack)
