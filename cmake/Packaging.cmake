# The Debian package (scripts/package.sh): manual pages made from the programs' --help, the
# copyright file and changelog in share/doc, the dependencies worked out, and CPack's DEB
# generator. The target tovrena_package_files builds everything the package holds.
set(packaging ${PROJECT_SOURCE_DIR}/packaging)
set(package_files ${CMAKE_BINARY_DIR}/package-files)
file(MAKE_DIRECTORY ${package_files})
find_program(TOVRENA_HELP2MAN help2man REQUIRED)
find_program(TOVRENA_GZIP gzip REQUIRED)

# The release's date, for the changelog and the manual pages' footers.
execute_process(COMMAND date -u -R -d "${TOVRENA_RELEASE_DATE}"
  OUTPUT_VARIABLE TOVRENA_RELEASE_DATE_RFC2822 OUTPUT_STRIP_TRAILING_WHITESPACE
  COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND date -u +%s -d "${TOVRENA_RELEASE_DATE}"
  OUTPUT_VARIABLE release_epoch OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)

# Manual pages, section 1, from each program's --help and --version.
set(manpages)
set(tovrena_summary "convert video and audio files in a window")
set(tovrena-cli_summary "convert video and audio files with Tovrena's groups and profiles")
foreach(program tovrena tovrena-cli)
  set(page ${package_files}/${program}.1)
  add_custom_command(OUTPUT ${page}.gz
    COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${release_epoch}
            ${TOVRENA_HELP2MAN} --no-info --section=1 --name=${${program}_summary}
            --include=${packaging}/${program}.h2m --output=${page} $<TARGET_FILE:${program}>
    COMMAND ${TOVRENA_GZIP} -9nf ${page}
    DEPENDS ${program} ${packaging}/${program}.h2m VERBATIM)
  list(APPEND manpages ${page}.gz)
endforeach()
install(FILES ${manpages} DESTINATION share/man/man1)

# share/doc/tovrena: the copyright file and the changelog as Debian has them.
configure_file(${packaging}/changelog.in ${package_files}/changelog @ONLY)
add_custom_command(OUTPUT ${package_files}/changelog.gz
  COMMAND ${TOVRENA_GZIP} -9nkf ${package_files}/changelog
  DEPENDS ${package_files}/changelog VERBATIM)
install(FILES ${packaging}/copyright ${package_files}/changelog.gz DESTINATION share/doc/tovrena)

add_custom_target(tovrena_package_files
  DEPENDS tovrena tovrena-cli tovrena-install-settings myutil ${manpages}
          ${package_files}/changelog.gz)

# The media libraries are bound at run time, so dpkg-shlibdeps, which reads what the
# programs link, cannot see them: their packages come from what LibAV points at.
execute_process(COMMAND ${PROJECT_SOURCE_DIR}/scripts/media-library-depends.sh ${TOVRENA_LIBAV_DIR}
  OUTPUT_VARIABLE media_depends OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
message(STATUS "Media library packages: ${media_depends}")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tovrena)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_CONTACT "The Tovrena developers <support@tovrena.example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "converter between video and audio formats")
set(CPACK_PACKAGE_DESCRIPTION
  "Tovrena converts video and audio files between formats in a window: add
media files to a list, pick an output group (AVI, MP4, MPG, WMV, 3GP, MOV,
SWF, FLV or Audio) and a profile, choose an output folder and convert, with
the progress of each file shown.
.
The command-line program tovrena-cli converts with the same groups and
profiles in scripts and batches. The conversion work is done by the system's
FFmpeg libraries.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://tovrena.example.org/)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "${media_depends}")
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
# Folders as Debian has them (rwxr-xr-x), whatever the umask of the build.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
  GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
