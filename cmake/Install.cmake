# The installed layout (cmake --install, and the Debian package): the programs with their
# LibAV folder and help page in lib/tovrena, where they find both beside themselves; links
# to the two programs in bin; the default settings in share/tovrena/settings, which an
# installed program puts into the user's settings folder on its first start (with the
# installer program for doing it by hand); the header for hook modules; the desktop entry,
# the icons and the AppStream metadata.
set(TOVRENA_INSTALL_PROGRAM_DIR lib/tovrena)
set(TOVRENA_INSTALL_LIBAV_DIR ${TOVRENA_INSTALL_PROGRAM_DIR}/LibAV)

install(TARGETS tovrena tovrena-cli tovrena-install-settings
  DESTINATION ${TOVRENA_INSTALL_PROGRAM_DIR})
install(TARGETS myutil LIBRARY DESTINATION ${TOVRENA_INSTALL_LIBAV_DIR})
install(FILES ${PROJECT_SOURCE_DIR}/Src/app/data/help.html
  DESTINATION ${TOVRENA_INSTALL_PROGRAM_DIR})

# The installed LibAV folder points at the system's media libraries, with links relative to
# the prefix (made when installing, so that a --prefix given then counts).
install(CODE "
  set(libav \"${TOVRENA_INSTALL_LIBAV_DIR}\")
  foreach(library ${TOVRENA_MEDIA_LIBRARY_FILES})
    get_filename_component(versioned \"\${library}\" NAME)
    string(REGEX REPLACE \"[.][0-9]+\$\" \"\" plain \"\${versioned}\")
    file(RELATIVE_PATH target \"\${CMAKE_INSTALL_PREFIX}/\${libav}\" \"\${library}\")
    foreach(name \${versioned} \${plain})
      message(STATUS \"Installing: \$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/\${libav}/\${name}\")
      file(CREATE_LINK \"\${target}\" \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/\${libav}/\${name}\"
           SYMBOLIC)
    endforeach()
  endforeach()
")

# Whatever settings/*.ini holds is shipped, so a new group's file needs no change here.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/settings/ DESTINATION share/tovrena/settings
  FILES_MATCHING PATTERN "*.ini")

set(program_links ${CMAKE_BINARY_DIR}/install-links)
file(MAKE_DIRECTORY ${program_links})
foreach(program tovrena tovrena-cli)
  file(CREATE_LINK ../${TOVRENA_INSTALL_PROGRAM_DIR}/${program} ${program_links}/${program} SYMBOLIC)
  install(FILES ${program_links}/${program} DESTINATION bin)
endforeach()

install(FILES ${PROJECT_SOURCE_DIR}/Src/binding/FrameHookModule.h DESTINATION include/tovrena)

set(data ${PROJECT_SOURCE_DIR}/Src/app/data)
install(FILES ${data}/tovrena.desktop DESTINATION share/applications)
install(FILES ${data}/tovrena.svg DESTINATION share/icons/hicolor/scalable/apps)
install(DIRECTORY ${TOVRENA_ICON_DIR}/hicolor DESTINATION share/icons)
configure_file(${data}/org.tovrena.Tovrena.metainfo.xml.in
  ${CMAKE_BINARY_DIR}/org.tovrena.Tovrena.metainfo.xml @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/org.tovrena.Tovrena.metainfo.xml DESTINATION share/metainfo)
