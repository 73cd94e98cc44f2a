# A Debian package of the installed program: cmake --build build --target package
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarvelin)
set(CPACK_PACKAGE_VENDOR "Tarvelin")
set(CPACK_PACKAGE_CONTACT "Tarvelin developers <dev@tarvelin.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Solves a*x^2 + b*x + c = 0 while you type")
set(CPACK_PACKAGE_DESCRIPTION
  "A one-window French desktop program: three coefficient fields and a solutions field\n that follows every keystroke, with two decimals.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_SECTION math)
# The libraries come from dpkg-shlibdeps; the fonts are the window's substitutes,
# chosen for their text heights, and a session bus is optional.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation2, fonts-comic-neue")
# Native Wayland sessions; elsewhere, and under XWayland, the X11 plugin serves.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "qt6-wayland")
include(CPack)
