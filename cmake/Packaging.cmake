# Packages made with CPack: on Linux a Debian package of kwindra-cli (its
# library dependencies found by dpkg-shlibdeps), on Windows a zip of
# kwindra.exe with the README and the sample pictures.
set(CPACK_PACKAGE_NAME kwindra-cli)
set(CPACK_PACKAGE_VENDOR "Kwindra")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Turns raster drawings into centreline polylines")
set(CPACK_PACKAGE_CONTACT "Kwindra developers <kwindra@localhost>")
if(WIN32)
  set(CPACK_PACKAGE_NAME kwindra)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME kwindra-${PROJECT_VERSION}-win64)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
      "Turns raster drawings into centreline polylines\n Reads PNG, JPEG, TIFF, BMP and PBM/PGM/PPM, thins the ink to centreline\n strokes with their crossings and loops, simplifies them within a known\n tolerance and writes SVG, DXF, CSV and JSON.")
  set(CPACK_PACKAGE_DESCRIPTION_FILE ${CMAKE_CURRENT_SOURCE_DIR}/README.md)
endif()
include(CPack)
