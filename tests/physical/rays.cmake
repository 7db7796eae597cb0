# The physical model's light and rays, and rainbow_render --model physical
# run as a separate process.  Included from tests/CMakeLists.txt.
rainbow_unit_test(rainbow_physical_rays_tests ${CMAKE_CURRENT_LIST_DIR}/light_test.cpp
                  ${CMAKE_CURRENT_LIST_DIR}/rays_test.cpp)
target_link_libraries(rainbow_physical_rays_tests PRIVATE rainbow_physical)

rainbow_unit_test(rainbow_physical_cli_tests ${CMAKE_CURRENT_LIST_DIR}/physical_cli_test.cpp)
target_compile_definitions(rainbow_physical_cli_tests
                           PRIVATE RAINBOW_RENDER="$<TARGET_FILE:rainbow_render>")
add_dependencies(rainbow_physical_cli_tests rainbow_render)
