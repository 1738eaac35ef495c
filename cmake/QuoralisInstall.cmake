# `cmake --install build --prefix ~/.local` installs for one desktop user:
#   <prefix>/lib/quoralis2005/      the program directory, laid out as build/bin (the program
#                                   writes its settings file and logs/ there, so the prefix
#                                   must be a folder the user owns)
#   <prefix>/bin/quoralis2005       the launcher on the user's PATH (a link to the program)
#   <prefix>/share/applications/quoralis2005.desktop and the menu icon
set(QUORALIS_INSTALL_DIR lib/quoralis2005)

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
install(FILES ${PROJECT_SOURCE_DIR}/resources/desktop/quoralis2005.png
  DESTINATION share/icons/hicolor/32x32/apps)

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
")
