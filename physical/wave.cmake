# The physical model's wave optics: Lorenz-Mie and Airy theory and the
# phase-function tables scattering angles are drawn from.  Plain C++17 with
# no platform; included from the top-level list (and may be included again
# from the physical model's own list: the guard keeps one definition).
include_guard(GLOBAL)

set(rainbow_physical_wave_sources)
foreach(name IN ITEMS mie airy phase_table)
  if(EXISTS ${CMAKE_CURRENT_LIST_DIR}/${name}.cpp)
    list(APPEND rainbow_physical_wave_sources ${CMAKE_CURRENT_LIST_DIR}/${name}.cpp)
  endif()
endforeach()
add_library(rainbow_physical_wave STATIC ${rainbow_physical_wave_sources})
target_include_directories(rainbow_physical_wave PUBLIC ${CMAKE_CURRENT_LIST_DIR})
rainbow_warnings(rainbow_physical_wave)
