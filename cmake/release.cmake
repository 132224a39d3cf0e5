# release.cmake -- lays out the party release: intro, data, launcher, info file, screenshot
#
#   cmake --install build --prefix DIR --component release   the release folder
#   cmake --build build --target release                     release/neonfjord-intro.tar.gz
#   tools/release.sh                                         the same from a clean Release build
set(RELEASE_NAME neonfjord-intro)
set(RELEASE_DIR  ${CMAKE_SOURCE_DIR}/release)

install(TARGETS intro RUNTIME DESTINATION . COMPONENT release)
install(PROGRAMS cmake/release/neonfjord.sh DESTINATION . COMPONENT release)
install(FILES cmake/release/neonfjord.nfo docs/screenshot.png DESTINATION . COMPONENT release)

# the intro runs without its data but shows nothing worth a release: refuse to lay one out
install(CODE "
  foreach(file logo.bmp bounce.bmp spark.bmp font.bmp bg.bmp soundtrack.mp3)
    if(NOT EXISTS \"${CMAKE_SOURCE_DIR}/data/\${file}\")
      message(FATAL_ERROR \"release: data/\${file} is missing\")
    endif()
  endforeach()
" COMPONENT release)
install(DIRECTORY data/ DESTINATION data COMPONENT release)

add_custom_target(release
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${RELEASE_DIR}/${RELEASE_NAME}
  COMMAND ${CMAKE_COMMAND} --install ${CMAKE_BINARY_DIR} --prefix ${RELEASE_DIR}/${RELEASE_NAME}
          --component release --strip
  COMMAND ${CMAKE_COMMAND} -E chdir ${RELEASE_DIR}
          ${CMAKE_COMMAND} -E tar czf ${RELEASE_NAME}.tar.gz ${RELEASE_NAME}
  DEPENDS intro
  COMMENT "Packing ${RELEASE_DIR}/${RELEASE_NAME}.tar.gz"
  VERBATIM)
