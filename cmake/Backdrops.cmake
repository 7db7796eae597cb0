# The backdrop pictures: rainbow_bitmap reads wfall.bmp and rainbow_photo
# wfall.jpg from the current folder, so both go beside the programs in bin/.
# tools/make_backdrop.py draws them (BMP, and a PPM that cjpeg turns into a
# baseline 4:2:0 JPEG with no EXIF). Both tools run on the build host, so
# cross-builds make the same pictures.

find_package(Python3 REQUIRED COMPONENTS Interpreter)
find_program(RAINBOW_CJPEG cjpeg)
if(NOT RAINBOW_CJPEG)
  message(FATAL_ERROR "cjpeg not found; it makes wfall.jpg. "
                      "On Debian: apt-get install libjpeg-turbo-progs")
endif()

set(_backdrop_script ${PROJECT_SOURCE_DIR}/tools/make_backdrop.py)
set(_backdrop_work ${CMAKE_BINARY_DIR}/backdrops)  # the PPM stays out of bin/
set(_backdrop_bin ${CMAKE_BINARY_DIR}/bin)

add_custom_command(
  OUTPUT ${_backdrop_bin}/wfall.bmp ${_backdrop_bin}/wfall.jpg
  COMMAND ${CMAKE_COMMAND} -E make_directory ${_backdrop_bin}
  COMMAND Python3::Interpreter ${_backdrop_script} --out ${_backdrop_work}
  COMMAND ${CMAKE_COMMAND} -E copy ${_backdrop_work}/wfall.bmp ${_backdrop_bin}/wfall.bmp
  COMMAND ${RAINBOW_CJPEG} -quality 90 -optimize -outfile ${_backdrop_bin}/wfall.jpg
          ${_backdrop_work}/wfall.ppm
  DEPENDS ${_backdrop_script}
  COMMENT "Drawing the backdrop pictures wfall.bmp and wfall.jpg"
  VERBATIM)
add_custom_target(rainbow_backdrops ALL
  DEPENDS ${_backdrop_bin}/wfall.bmp ${_backdrop_bin}/wfall.jpg)

# Installed where the programs look: beside the .exe files on Windows; on
# Linux in share/rainbow, the folder their desktop entries start them in.
if(WIN32)
  install(FILES ${_backdrop_bin}/wfall.bmp ${_backdrop_bin}/wfall.jpg DESTINATION .)
else()
  include(GNUInstallDirs)
  install(FILES ${_backdrop_bin}/wfall.bmp ${_backdrop_bin}/wfall.jpg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/rainbow)
endif()
