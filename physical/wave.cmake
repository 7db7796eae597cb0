# The physical model's wave optics: Lorenz-Mie and Airy theory and the
# phase-function tables scattering angles are drawn from.  Plain C++17 with
# no platform; included from the physical model's own list.
include_guard(GLOBAL)

add_library(rainbow_physical_wave STATIC ${CMAKE_CURRENT_LIST_DIR}/mie.cpp
                                         ${CMAKE_CURRENT_LIST_DIR}/airy.cpp
                                         ${CMAKE_CURRENT_LIST_DIR}/phase_table.cpp)
target_include_directories(rainbow_physical_wave PUBLIC ${CMAKE_CURRENT_LIST_DIR})
rainbow_warnings(rainbow_physical_wave)
