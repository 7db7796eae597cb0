# Shared settings for the project's own targets.

# Strict warnings on our code only (never on system headers or SDL).
function(rainbow_warnings target)
  if(MSVC)
    target_compile_options(${target} PRIVATE /W4)
  else()
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion
                                             -Wno-sign-conversion -Wdouble-promotion)
  endif()
  if(RAINBOW_WERROR)
    target_compile_options(${target} PRIVATE $<$<NOT:$<BOOL:${MSVC}>>:-Werror>)
  endif()
endfunction()

# A GUI program: WinMain entry on Windows (with the icon resource), the
# platform's main() and embedded icon elsewhere.
function(rainbow_program name)
  add_executable(${name} WIN32 ${ARGN})
  rainbow_warnings(${name})
  if(WIN32)
    target_sources(${name} PRIVATE ${PROJECT_SOURCE_DIR}/resources/rainbow.rc)
    # windres finds the .ico beside the .rc, but CMake does not see that it
    # reads it: rebuild the resource when the icon is regenerated.
    set_source_files_properties(${PROJECT_SOURCE_DIR}/resources/rainbow.rc PROPERTIES
                                OBJECT_DEPENDS ${PROJECT_SOURCE_DIR}/resources/rainbow.ico)
    target_link_options(${name} PRIVATE -static)
  else()
    # Each object library by name: the objects of one linked through another
    # never reach the program (the icon was missing so).
    target_link_libraries(${name} PRIVATE rainbow_platform_main rainbow_icon_resource)
  endif()
endfunction()
