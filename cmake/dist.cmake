# What the releases need of the build: on Windows the program's icon, version and manifest.
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
  # The zip's README, with the line ends Notepad has always shown.
  configure_file(${PACKAGING}/windows/README.txt.in ${res}/README.txt @ONLY NEWLINE_STYLE CRLF)
  set_source_files_properties(${res}/vadurer.rc PROPERTIES OBJECT_DEPENDS "${rc_depends}")
  target_sources(vadurer PRIVATE ${res}/vadurer.rc)
endif()
