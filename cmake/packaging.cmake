# What `cmake --install` puts where, and the packages `cpack` makes of it;
# nothing of the build but the two programs and the bundled data is installed.
#   Linux: the programs in bin/, the scene and texture in
#     share/shadow-volume-demo/ (the programs look there from their own folder:
#     app/data_files.h), a desktop entry for demo_windowed and its icon.
#     cpack makes a .deb and a .tar.gz.
#   Windows: the programs with the data beside them, as a user unpacks them;
#     cpack makes shadow-volume-demo.zip, holding the folder shadow-volume-demo/.
if(WIN32)
  set(program_destination .)
  set(data_destination .)
else()
  set(program_destination bin)
  set(data_destination share/shadow-volume-demo)
endif()
install(TARGETS demo_windowed demo_fullscreen RUNTIME DESTINATION ${program_destination})
install(FILES data/shadow2.3DS data/txt.tif DESTINATION ${data_destination})
if(NOT WIN32)
  install(FILES packaging/shadow-volume-demo.desktop DESTINATION share/applications)
  install(FILES packaging/shadow-volume-demo.svg DESTINATION share/icons/hicolor/scalable/apps)
endif()

set(CPACK_PACKAGE_NAME shadow-volume-demo)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "real-time shadow volumes without a stencil buffer")
set(CPACK_STRIP_FILES ON)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME shadow-volume-demo)
else()
  set(CPACK_GENERATOR DEB TGZ)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The shadow volume demo's developers")
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Two programs, demo_windowed and demo_fullscreen, draw a 3D Studio scene lit by
one point light, with the shadows the scene casts on itself resolved in the
colour buffer by blending and depth tests alone. The bundled scene and texture
come with them.")
  # What the programs link, found by dpkg-shlibdeps, and the GLX library SDL
  # loads at run time to make the OpenGL context.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS libgl1)
endif()
include(CPack)
