# release.cmake -- lays out the party release: intro, data, launcher, info file, screenshot, and the
# libraries it carries with their licences
#
#   cmake --install build --prefix DIR --component release   the release folder of this build
#   tools/release.sh                                         the party release, built on Debian 11 with
#                                                            the libraries it carries

install(TARGETS intro RUNTIME DESTINATION . COMPONENT release)
install(PROGRAMS cmake/release/neonfjord.sh DESTINATION . COMPONENT release)
install(FILES cmake/release/neonfjord.nfo docs/screenshot.png DESTINATION . COMPONENT release)

install(DIRECTORY data/ DESTINATION data COMPONENT release)

# The party release carries the libraries a distribution may lack (tools/release-build.sh builds them):
# the intro finds them in lib/ through its RUNPATH, which the visitor's LD_LIBRARY_PATH still goes before,
# and needs no C++ runtime of the system
set(INTRO_CARRY "" CACHE PATH "What the release carries, built by tools/release-build.sh: lib/ and licences/")
if(INTRO_CARRY)
  set_target_properties(intro PROPERTIES INSTALL_RPATH "$ORIGIN/lib")
  target_link_options(intro PRIVATE -Wl,--enable-new-dtags -static-libstdc++ -static-libgcc)
  install(DIRECTORY ${INTRO_CARRY}/lib ${INTRO_CARRY}/licences DESTINATION . USE_SOURCE_PERMISSIONS
          COMPONENT release)
endif()
