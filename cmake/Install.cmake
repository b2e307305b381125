# Installing like a Linux desktop program, and the Debian package.
#
# The viewer finds its help file and language modules beside the program, so
# the programs themselves live in a folder of their own,
#   PREFIX/lib/orv-teletext/orvtt, ttxdump, ENU.HLP, orvtt.DEU
# with links in PREFIX/bin. The capture libraries have a folder each, as two
# of them carry the same file name (replay/ and dvb/OrvTTCap.dll); the programs'
# RUNPATH names the replay library's folder, relative to the program. The TV
# drivers (V4L2 tuner, simulated card) go to tv/.

set(ORVTT_PROGRAM_DIR lib/orv-teletext)
set_target_properties(orvtt ttxdump PROPERTIES INSTALL_RPATH "$ORIGIN/replay")
# What is installed carries its installed run path in the build as well: a
# build run path of its own would be padded by CMake with an empty element,
# which the loader reads as the current folder, to make room for the installed
# one. In the build, replay/ is a link to the drivers folder.
set_target_properties(orvtt ttxdump OrvTTCap OrvTTCap_dvb orvtt_v4l2tv orvtt_simtv PROPERTIES
  BUILD_WITH_INSTALL_RPATH ON)
file(CREATE_LINK drivers ${CMAKE_CURRENT_BINARY_DIR}/replay SYMBOLIC)

install(TARGETS orvtt ttxdump RUNTIME DESTINATION ${ORVTT_PROGRAM_DIR})
install(FILES data/help/ENU.HLP data/lang/orvtt.DEU DESTINATION ${ORVTT_PROGRAM_DIR})
install(TARGETS OrvTTCap LIBRARY DESTINATION ${ORVTT_PROGRAM_DIR}/replay)
install(TARGETS OrvTTCap_dvb LIBRARY DESTINATION ${ORVTT_PROGRAM_DIR}/dvb)
# TV drivers, named by their path in the "driver" registry value. They need
# no search path of their own.
install(TARGETS orvtt_v4l2tv orvtt_simtv LIBRARY DESTINATION ${ORVTT_PROGRAM_DIR}/tv)
install(CODE "
  set(bin \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin\")
  file(MAKE_DIRECTORY \"\${bin}\")
  foreach(program orvtt ttxdump)
    file(CREATE_LINK ../${ORVTT_PROGRAM_DIR}/\${program} \"\${bin}/\${program}\" SYMBOLIC)
  endforeach()")

# The desktop entry and the icon theme's pictures, drawn by the skin.
install(FILES data/desktop/orv-teletext.desktop DESTINATION share/applications)
add_executable(icongen tools/icongen/main.cpp)
target_link_libraries(icongen PRIVATE orvtt_skin)
set(ORVTT_ICON_DIR ${CMAKE_CURRENT_BINARY_DIR}/generated/icons)
set(ORVTT_ICON_SIZES 16 24 32 48 64 128 256)
add_custom_command(
  OUTPUT ${ORVTT_ICON_DIR}/256x256/apps/orv-teletext.png
  # A build step, not a test: in the sanitizer builds, what Qt keeps to the end
  # and its own painting threads are no reason to stop the build.
  COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 TSAN_OPTIONS=report_bugs=0
          $<TARGET_FILE:icongen> ${ORVTT_ICON_DIR} ${ORVTT_ICON_SIZES}
  DEPENDS icongen
  COMMENT "Drawing the program icon")
# Manual pages, compressed as Debian keeps them.
set(ORVTT_MAN_PAGES)
foreach(page orvtt ttxdump)
  set(packed ${CMAKE_CURRENT_BINARY_DIR}/generated/man/${page}.1.gz)
  add_custom_command(
    OUTPUT ${packed}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/generated/man
    COMMAND gzip -9 -n -c ${CMAKE_CURRENT_SOURCE_DIR}/data/man/${page}.1 > ${packed}
    DEPENDS data/man/${page}.1
    VERBATIM)
  list(APPEND ORVTT_MAN_PAGES ${packed})
endforeach()
add_custom_target(orvtt_desktop_files ALL DEPENDS ${ORVTT_ICON_DIR}/256x256/apps/orv-teletext.png ${ORVTT_MAN_PAGES})
install(DIRECTORY ${ORVTT_ICON_DIR}/ DESTINATION share/icons/hicolor)
install(FILES ${ORVTT_MAN_PAGES} DESTINATION share/man/man1)

# cpack -G DEB, from the build folder.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orv-teletext)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "ORV Teletext for Linux <orv-teletext@users.noreply.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "teletext viewer for TV and DVB cards")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "teletext viewer for TV and DVB cards\n ORV Teletext shows the teletext of a TV or DVB card, or of its built-in\n demo broadcast, keeps every page and sub-page in memory, and lets you\n search, save, print and copy pages and open extra page windows. ttxdump\n decodes teletext recordings on the command line.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
set(CPACK_STRIP_FILES ON)
include(CPack)
