# `cmake --install build --prefix ~/.local` installs for one desktop user, the Debian package
# (cmake/QuoralisPackage.cmake) for every user with the prefix /usr:
#   <prefix>/lib/quoralis2005/      the program directory, laid out as build/bin
#   <prefix>/bin/quoralis2005       the launcher on the user's PATH (a link to the program)
#   <prefix>/share/applications/quoralis2005.desktop          the menu entry
#   <prefix>/share/icons/hicolor/<size>/apps/quoralis2005.*   the menu icon in every size
#   <prefix>/share/metainfo/quoralis2005.metainfo.xml         the software centre's description
#   <prefix>/share/doc/quoralis2005/                          copyright and changelog
#   <prefix>/share/man/man1/quoralis2005.1.gz                 the manual page
# Every file, the launcher and the menu entry included, is listed in build/install_manifest.txt.
set(QUORALIS_INSTALL_DIR lib/quoralis2005)
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# Builds everything the installation takes (`cmake --build build --target quoralis_installable`).
add_custom_target(quoralis_installable)
add_dependencies(quoralis_installable quoralis2005 quoralis_zipengine quoralis_writemenuentry quoralis_resources
  quoralis_icons quoralis_compressed)

install(TARGETS quoralis2005 RUNTIME DESTINATION ${QUORALIS_INSTALL_DIR})
install(TARGETS quoralis_zipdll quoralis_unzdll LIBRARY DESTINATION ${QUORALIS_INSTALL_DIR}/dll)
install(TARGETS quoralis_sfxstub RUNTIME DESTINATION ${QUORALIS_INSTALL_DIR}/dll)
install(FILES ${PROJECT_SOURCE_DIR}/zipengine/ResDlls.res DESTINATION ${QUORALIS_INSTALL_DIR}/dll)
foreach(folder help sounds skins)
  if(EXISTS ${PROJECT_SOURCE_DIR}/resources/${folder})
    install(DIRECTORY ${PROJECT_SOURCE_DIR}/resources/${folder} DESTINATION ${QUORALIS_INSTALL_DIR})
  endif()
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/resources/QS2005.ico DESTINATION ${QUORALIS_INSTALL_DIR})

install(DIRECTORY ${QUORALIS_ICON_DIR}/hicolor DESTINATION share/icons)
configure_file(${PROJECT_SOURCE_DIR}/resources/desktop/quoralis2005.metainfo.xml.in
  ${CMAKE_BINARY_DIR}/share/quoralis2005.metainfo.xml @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/share/quoralis2005.metainfo.xml DESTINATION share/metainfo)

# The changelog and the manual page are installed compressed, as Debian keeps them.
configure_file(${PROJECT_SOURCE_DIR}/cmake/debian/changelog.in ${CMAKE_BINARY_DIR}/share/changelog @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/resources/desktop/quoralis2005.1 ${CMAKE_BINARY_DIR}/share/quoralis2005.1 COPYONLY)
set(compressed)
foreach(name changelog quoralis2005.1)
  add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/share/${name}.gz
    COMMAND gzip -9nkf ${CMAKE_BINARY_DIR}/share/${name}
    DEPENDS ${CMAKE_BINARY_DIR}/share/${name})
  list(APPEND compressed ${CMAKE_BINARY_DIR}/share/${name}.gz)
endforeach()
add_custom_target(quoralis_compressed ALL DEPENDS ${compressed})
install(FILES ${PROJECT_SOURCE_DIR}/cmake/debian/copyright ${CMAKE_BINARY_DIR}/share/changelog.gz
  DESTINATION share/doc/quoralis2005)
install(FILES ${CMAKE_BINARY_DIR}/share/quoralis2005.1.gz DESTINATION share/man/man1)

# The launcher and the menu entry name the program where it is installed (not under DESTDIR).
install(CODE "
  get_filename_component(prefix \"\${CMAKE_INSTALL_PREFIX}\" ABSOLUTE)
  set(root \"\$ENV{DESTDIR}\${prefix}\")
  file(MAKE_DIRECTORY \"\${root}/bin\" \"\${root}/share/applications\")
  message(STATUS \"Installing: \${root}/bin/quoralis2005\")
  file(CREATE_LINK ../${QUORALIS_INSTALL_DIR}/quoralis2005 \"\${root}/bin/quoralis2005\" SYMBOLIC)
  message(STATUS \"Installing: \${root}/share/applications/quoralis2005.desktop\")
  execute_process(COMMAND \"$<TARGET_FILE:quoralis_writemenuentry>\"
                          \"\${root}/share/applications/quoralis2005.desktop\"
                          \"\${prefix}/${QUORALIS_INSTALL_DIR}/quoralis2005\" quoralis2005
                  RESULT_VARIABLE written)
  if(NOT written EQUAL 0)
    message(FATAL_ERROR \"The menu entry could not be written\")
  endif()
  file(CHMOD \"\${root}/share/applications/quoralis2005.desktop\"
       PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
  list(APPEND CMAKE_INSTALL_MANIFEST_FILES
       \"\${prefix}/bin/quoralis2005\" \"\${prefix}/share/applications/quoralis2005.desktop\")
")
