# What the releases need of the build (scripts/dist.sh puts them together): on Windows the
# program's icon, version and manifest; natively the icon files and the Debian games layout, an
# install component of its own ("games") that a plain `cmake --install` leaves out.
set(VADURER_RELEASE_DATE 2026-12-08)
set(VADURER_HOMEPAGE "https://plimbrix.example/vadurer/" CACHE STRING
    "Where the page (the web zip) is put up; the AppStream metadata's home page and screenshot")
set(PACKAGING ${CMAKE_SOURCE_DIR}/packaging)

if(WIN32)
  enable_language(RC)
  set(VADURER_ASSETMAKER "" CACHE FILEPATH "The native asset maker, which draws the program's icon")
  set(res ${CMAKE_BINARY_DIR}/resources)
  set(VADURER_MANIFEST ${res}/vadurer.manifest)
  configure_file(${PACKAGING}/windows/vadurer.manifest.in ${VADURER_MANIFEST} @ONLY)
  set(rc_depends ${VADURER_MANIFEST})
  if(VADURER_ASSETMAKER)
    add_custom_command(OUTPUT ${res}/vadurer.ico
                       COMMAND ${VADURER_ASSETMAKER} --icons ${res}
                       DEPENDS ${VADURER_ASSETMAKER} COMMENT "Drawing the program's icon")
    set(VADURER_ICON_LINE "32512 ICON \"${res}/vadurer.ico\"")
    list(APPEND rc_depends ${res}/vadurer.ico)
  else()
    message(WARNING "VADURER_ASSETMAKER is not set: vadurer.exe is built without its icon")
    set(VADURER_ICON_LINE "")
  endif()
  configure_file(${PACKAGING}/windows/vadurer.rc.in ${res}/vadurer.rc @ONLY)
  # The zip's README, with the line ends Notepad has always shown, and the licence's text at its end.
  file(READ ${CMAKE_SOURCE_DIR}/LICENSE VADURER_LICENSE_TEXT)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/LICENSE)
  configure_file(${PACKAGING}/windows/README.txt.in ${res}/README.txt @ONLY NEWLINE_STYLE CRLF)
  set_source_files_properties(${res}/vadurer.rc PROPERTIES OBJECT_DEPENDS "${rc_depends}")
  target_sources(vadurer PRIVATE ${res}/vadurer.rc)
elseif(NOT CMAKE_CROSSCOMPILING AND NOT EMSCRIPTEN AND TARGET assetmaker)
  set(icons ${CMAKE_BINARY_DIR}/icons)
  set(icon_files ${icons}/vadurer.ico)
  # The sizes assetmaker --icons draws (kPngSizes in tools/assetmaker/icon.h).
  foreach(size 16 22 24 32 48 64 128 256)
    list(APPEND icon_files ${icons}/vadurer-${size}.png)
  endforeach()
  add_custom_command(OUTPUT ${icon_files}
                     COMMAND ${CMAKE_COMMAND} -E make_directory ${icons}
                     COMMAND assetmaker --icons ${icons}
                     DEPENDS assetmaker COMMENT "Drawing the program's icon")
  add_custom_target(icons ALL DEPENDS ${icon_files})

  # The Debian games layout: the launcher in games, the program in lib/games/vadurer, its files
  # in share/games/vadurer, the manual in section 6.
  set(VADURER_GAMES_BINDIR ${CMAKE_INSTALL_PREFIX}/games)
  set(gen ${CMAKE_BINARY_DIR}/packaging)
  configure_file(${PACKAGING}/vadurer.6.in ${gen}/vadurer.6 @ONLY)
  configure_file(${PACKAGING}/org.plimbrix.vadurer.desktop.in ${gen}/org.plimbrix.vadurer.desktop @ONLY)
  configure_file(${PACKAGING}/org.plimbrix.vadurer.metainfo.xml.in ${gen}/org.plimbrix.vadurer.metainfo.xml @ONLY)
  file(READ ${CMAKE_SOURCE_DIR}/scripts/vadurer-launcher.sh launcher)
  string(REPLACE "program_dir=lib/vadurer" "program_dir=lib/games/vadurer" launcher "${launcher}")
  string(REPLACE "data_dir=lib/vadurer" "data_dir=share/games/vadurer" launcher "${launcher}")
  if(NOT launcher MATCHES "program_dir=lib/games/vadurer\n" OR NOT launcher MATCHES "data_dir=share/games/vadurer\n")
    message(FATAL_ERROR "scripts/vadurer-launcher.sh no longer sets program_dir and data_dir as this file expects")
  endif()
  file(WRITE ${gen}/vadurer "${launcher}")
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/scripts/vadurer-launcher.sh)

  install(TARGETS vadurer DESTINATION lib/games/vadurer COMPONENT games EXCLUDE_FROM_ALL)
  install(FILES ${VADURER_ASSET_FILES} DESTINATION share/games/vadurer COMPONENT games EXCLUDE_FROM_ALL)
  install(PROGRAMS ${gen}/vadurer DESTINATION games COMPONENT games EXCLUDE_FROM_ALL)
  install(FILES ${gen}/vadurer.6 DESTINATION share/man/man6 COMPONENT games EXCLUDE_FROM_ALL)
  install(FILES ${gen}/org.plimbrix.vadurer.desktop DESTINATION share/applications COMPONENT games EXCLUDE_FROM_ALL)
  install(FILES ${gen}/org.plimbrix.vadurer.metainfo.xml DESTINATION share/metainfo COMPONENT games EXCLUDE_FROM_ALL)
  foreach(size 16 22 24 32 48 64 128 256)
    install(FILES ${icons}/vadurer-${size}.png DESTINATION share/icons/hicolor/${size}x${size}/apps
            RENAME vadurer.png COMPONENT games EXCLUDE_FROM_ALL)
  endforeach()

  # What the release scripts read: the one version, and what goes with it.
  file(WRITE ${CMAKE_BINARY_DIR}/release.env
       "VADURER_VERSION=${PROJECT_VERSION}\nVADURER_RELEASE_DATE=${VADURER_RELEASE_DATE}\nVADURER_HOMEPAGE=${VADURER_HOMEPAGE}\n")
endif()
