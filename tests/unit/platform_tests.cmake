# The platform's tests, one suite for every backend: the null and SDL builds
# here (tests/unit/CMakeLists.txt), a browser's page in tests/web_conformance.
# The chosen picture is one of tests/data's, with its pixels beside it.
set(rainbow_platform_test_sources
    ${CMAKE_CURRENT_LIST_DIR}/platform_window_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/platform_gdi_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/platform_answers_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/platform_chosen_picture_test.cpp)
set(rainbow_chosen_picture ${CMAKE_CURRENT_LIST_DIR}/../data/bmp/rgb24_info)
