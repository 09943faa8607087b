# FFmpeg is used for its headers only: nothing links libav*/libsw* at build time. The
# libraries are bound at run time from the folder LibAV beside the executables, which
# this file fills with links to the system's shared objects (TOVRENA_MEDIA_LIBRARY_FILES
# lists their versioned paths, for the installed folder's links).
find_package(PkgConfig REQUIRED)
set(TOVRENA_MEDIA_MODULES libavcodec libavformat libavutil libavfilter libswscale libswresample)
pkg_check_modules(FFMPEG REQUIRED IMPORTED_TARGET ${TOVRENA_MEDIA_MODULES})

add_library(tovrena_ffmpeg_headers INTERFACE)
target_include_directories(tovrena_ffmpeg_headers SYSTEM INTERFACE ${FFMPEG_INCLUDE_DIRS})

file(MAKE_DIRECTORY ${TOVRENA_LIBAV_DIR})
foreach(module ${TOVRENA_MEDIA_MODULES})
  pkg_get_variable(libdir ${module} libdir)
  string(REGEX MATCH "^[0-9]+" major "${FFMPEG_${module}_VERSION}")
  set(versioned ${libdir}/${module}.so.${major})
  if(NOT EXISTS ${versioned})
    message(FATAL_ERROR "Missing ${versioned}")
  endif()
  list(APPEND TOVRENA_MEDIA_LIBRARY_FILES ${versioned})
  file(CREATE_LINK ${versioned} ${TOVRENA_LIBAV_DIR}/${module}.so.${major} SYMBOLIC)
  file(CREATE_LINK ${versioned} ${TOVRENA_LIBAV_DIR}/${module}.so SYMBOLIC)
endforeach()
