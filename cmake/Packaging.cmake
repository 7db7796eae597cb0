# Installing and packaging.
#
# Linux (`cmake --install`, any prefix): the programs and rainbow_render in
# bin/, the backdrop pictures in share/rainbow/ (cmake/Backdrops.cmake), our
# icon at every size of the hicolor theme, a desktop entry per program, their
# AppStream metainfo and a manual page for each program.  `cpack` (or
# `cpack --preset default`) makes a Debian package of the same files.
#
# Windows (the MinGW presets): the four .exe files, each with a version
# resource, the pictures and a README.txt in one folder, which
# `cpack --preset mingw-*` zips.

include(GNUInstallDirs)

set(RAINBOW_VENDOR "rainbow maintainers")

# Each line: program, its name in menus and Explorer, Comment.
set(_entries
    "rainbow_plain|Rainbow|A simulated rainbow building up from light rays through water drops"
    "rainbow_threaded|Rainbow (threaded)|The simulated rainbow, drawn by a worker thread"
    "rainbow_bitmap|Rainbow over a Waterfall|The simulated rainbow over a waterfall picture (BMP)"
    "rainbow_photo|Rainbow over a Waterfall Photo|The simulated rainbow over a waterfall photo (JPEG)")

set(_programs)
foreach(program IN ITEMS rainbow_plain rainbow_threaded rainbow_bitmap rainbow_photo)
  if(TARGET ${program})
    list(APPEND _programs ${program})
  endif()
endforeach()

if(WIN32)
  # Version resource (resources/rainbow.rc): a header per program names it
  # and carries the project's version, found through the program's own
  # include path when its copy of the .rc is compiled.
  set(_numbers)
  foreach(part IN ITEMS MAJOR MINOR PATCH TWEAK)  # VERSIONINFO wants all four
    if(PROJECT_VERSION_${part} STREQUAL "")
      list(APPEND _numbers 0)
    else()
      list(APPEND _numbers ${PROJECT_VERSION_${part}})
    endif()
  endforeach()
  string(REPLACE ";" "," RAINBOW_VERSION_NUMBERS "${_numbers}")
  set(_version_headers)
  foreach(entry IN LISTS _entries)
    string(REPLACE "|" ";" entry "${entry}")
    list(GET entry 0 RAINBOW_VERSION_PROGRAM)
    list(GET entry 1 RAINBOW_VERSION_DESCRIPTION)
    if(TARGET ${RAINBOW_VERSION_PROGRAM})
      set(_dir ${CMAKE_BINARY_DIR}/version/${RAINBOW_VERSION_PROGRAM})
      configure_file(${PROJECT_SOURCE_DIR}/resources/rainbow_version.h.in
                     ${_dir}/rainbow_version.h @ONLY)
      target_include_directories(${RAINBOW_VERSION_PROGRAM}
                                 PRIVATE $<$<COMPILE_LANGUAGE:RC>:${_dir}>)
      set_property(SOURCE ${PROJECT_SOURCE_DIR}/resources/rainbow.rc
                   TARGET_DIRECTORY ${RAINBOW_VERSION_PROGRAM}
                   APPEND PROPERTY OBJECT_DEPENDS ${_dir}/rainbow_version.h)
    endif()
  endforeach()

  # One flat folder: double-clicked programs start there and find their pictures.
  install(TARGETS ${_programs} RUNTIME DESTINATION .)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(RAINBOW_WINDOWS_BITS 64)
  else()
    set(RAINBOW_WINDOWS_BITS 32)
  endif()
  # Windows line ends, so that any Notepad shows it as lines.
  configure_file(${PROJECT_SOURCE_DIR}/resources/README-windows.txt.in
                 ${CMAKE_BINARY_DIR}/README.txt @ONLY NEWLINE_STYLE WIN32)
  install(FILES ${CMAKE_BINARY_DIR}/README.txt DESTINATION .)
else()
  install(TARGETS ${_programs} rainbow_render RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

  # The icon at every usual size of the hicolor theme and as SVG, drawn by
  # resources/make_icon.py from the window icon's design.
  set(_icons ${CMAKE_BINARY_DIR}/icons/hicolor)
  set(_icon_files ${_icons}/scalable/apps/rainbow.svg)
  foreach(size IN ITEMS 16 24 32 48 64 128 256)
    list(APPEND _icon_files ${_icons}/${size}x${size}/apps/rainbow.png)
  endforeach()
  add_custom_command(
    OUTPUT ${_icon_files}
    COMMAND Python3::Interpreter ${PROJECT_SOURCE_DIR}/resources/make_icon.py --theme ${_icons}
    DEPENDS ${PROJECT_SOURCE_DIR}/resources/make_icon.py
    COMMENT "Drawing the icon for the hicolor theme"
    VERBATIM)

  # Manual pages, section 1, compressed as Debian keeps them.
  find_program(RAINBOW_GZIP gzip REQUIRED)
  set(_man_pages)
  foreach(program IN LISTS _programs ITEMS rainbow_render)
    set(_page ${CMAKE_BINARY_DIR}/man/${program}.1)
    configure_file(${PROJECT_SOURCE_DIR}/resources/man/${program}.1.in ${_page} @ONLY)
    add_custom_command(
      OUTPUT ${_page}.gz
      COMMAND ${RAINBOW_GZIP} -9 -n -f -k ${_page}
      DEPENDS ${_page}
      VERBATIM)
    list(APPEND _man_pages ${_page}.gz)
  endforeach()
  add_custom_target(rainbow_desktop_files ALL DEPENDS ${_icon_files} ${_man_pages})
  install(DIRECTORY ${_icons} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)
  install(FILES ${_man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

  # AppStream metainfo: what software centres show.  The id and the address
  # of the screenshots (the repository's docs/) are to be set where the
  # project is published; until then they are placeholders on example.org.
  set(RAINBOW_APPSTREAM_ID "org.example.rainbow" CACHE STRING
      "AppStream component id (reverse domain name)")
  set(RAINBOW_HOMEPAGE "https://example.org/rainbow/" CACHE STRING
      "Home page; the metainfo's screenshots are its docs/*.png")
  set(_metainfo ${CMAKE_BINARY_DIR}/metainfo/${RAINBOW_APPSTREAM_ID}.metainfo.xml)
  configure_file(${PROJECT_SOURCE_DIR}/resources/rainbow.metainfo.xml.in ${_metainfo} @ONLY)
  install(FILES ${_metainfo} DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

  # Desktop entries name the installed program and, for the backdrop
  # programs, the folder of their pictures: both depend on the prefix, which
  # `cmake --install --prefix` may change after configuring, so the entries
  # are configured when installing.
  set(_script ${CMAKE_BINARY_DIR}/rainbow_desktop_entries.cmake)
  file(WRITE ${_script} "# Generated by cmake/Packaging.cmake: writes the desktop entries.\n"
                        "set(_template \"${PROJECT_SOURCE_DIR}/resources/rainbow.desktop.in\")\n"
                        "set(_out \"${CMAKE_BINARY_DIR}/desktop\")\n")
  file(APPEND ${_script} [=[
get_filename_component(_prefix "${CMAKE_INSTALL_PREFIX}" ABSOLUTE)
# Exec takes a quoted argument where the path needs it; the file's own
# escaping of backslashes comes on top (the desktop entry format's rules for "Exec").
function(_exec_quote path out)
  if(path MATCHES "[ \t\"`$\\\\'><~|&;*?#()]")
    string(REPLACE "\\" "\\\\\\\\" path "${path}")
    string(REPLACE "\"" "\\\\\"" path "${path}")
    string(REPLACE "`" "\\\\`" path "${path}")
    string(REPLACE "$" "\\\\$" path "${path}")
    set(path "\"${path}\"")
  endif()
  string(REPLACE "%" "%%" path "${path}")
  set(${out} "${path}" PARENT_SCOPE)
endfunction()
]=])
  foreach(entry IN LISTS _entries)
    string(REPLACE "|" ";" entry "${entry}")
    list(GET entry 0 program)
    list(GET entry 1 name)
    list(GET entry 2 comment)
    if(NOT TARGET ${program})
      continue()
    endif()
    set(path_line "")
    if(program MATCHES "bitmap|photo")  # they read their pictures from the current folder
      set(path_line "Path=\${_pictures}")
    endif()
    file(APPEND ${_script} "
set(RAINBOW_DESKTOP_PROGRAM ${program})
set(RAINBOW_DESKTOP_NAME \"${name}\")
set(RAINBOW_DESKTOP_COMMENT \"${comment}\")
_exec_quote(\"\${_prefix}/${CMAKE_INSTALL_BINDIR}/${program}\" RAINBOW_DESKTOP_EXEC)
string(REPLACE \"\\\\\" \"\\\\\\\\\" _pictures \"\${_prefix}/${CMAKE_INSTALL_DATADIR}/rainbow\")
set(RAINBOW_DESKTOP_PATH \"${path_line}\")
configure_file(\"\${_template}\" \"\${_out}/${program}.desktop\" @ONLY)
file(INSTALL \"\${_out}/${program}.desktop\"
     DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/applications\")
")
  endforeach()
  install(SCRIPT ${_script})
endif()

# Packages.
set(CPACK_PACKAGE_NAME rainbow)
set(CPACK_PACKAGE_VENDOR "${RAINBOW_VENDOR}")
set(RAINBOW_MAINTAINER "rainbow maintainers <maintainers@users.noreply.c-seed-81220b35.example>"
    CACHE STRING "Who answers for the packages (name <address>)")
set(CPACK_PACKAGE_CONTACT "${RAINBOW_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "simulated rainbows from light rays through water drops")
string(CONCAT CPACK_PACKAGE_DESCRIPTION  # lines short enough for apt's listings
    "Four small desktop programs that draw a simulated rainbow. Sunlight of six\n"
    "colours enters spherical water drops; Monte-Carlo rays, refracted and\n"
    "reflected by Snell's law and the Fresnel equations, build up the primary and\n"
    "secondary bows and the dark band between them: on black, drawn by a worker\n"
    "thread, or over a waterfall picture read from a BMP or a JPEG file.\n"
    "\n"
    "rainbow_render draws the same picture with no display into a PNG file.")
set(CPACK_STRIP_FILES ON)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME rainbow-${PROJECT_VERSION}-win${RAINBOW_WINDOWS_BITS})
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)  # unpacks into one folder of its own
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # rainbow_<version>_<arch>.deb
  set(CPACK_DEBIAN_PACKAGE_SECTION science)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # On Wayland zenity shows the message box; without it the text goes to stderr.
  set(CPACK_DEBIAN_PACKAGE_SUGGESTS zenity)
  # The hicolor theme's and the menu's caches are refreshed by the triggers
  # of hicolor-icon-theme and desktop-file-utils where they are installed.
endif()
set(CPACK_SOURCE_GENERATOR "")
include(CPack)

# The package unpacked and its programs started from their desktop entries
# (label package: it builds the package and needs an X display or Xvfb).
if(NOT WIN32 AND RAINBOW_TESTS)
  set(_x_close "")
  if(TARGET rainbow_x_close)
    set(_x_close $<TARGET_FILE:rainbow_x_close>)
  endif()
  add_test(NAME package_deb COMMAND bash ${PROJECT_SOURCE_DIR}/tests/package/package_test.sh
                                    ${CMAKE_BINARY_DIR} ${_x_close})
  set_tests_properties(package_deb PROPERTIES LABELS package SKIP_RETURN_CODE 77 TIMEOUT 300
                                              RUN_SERIAL TRUE)
endif()
