# The lab page: the physical model in wasm, run by a worker of the page
# (lab_worker.js) and shown on a canvas as its rays land.  It starts no
# thread and has no shared memory, so it runs on any static host, with no
# cross-origin isolation.
#
# RAINBOW_LAB_FILES: what the site needs of it, all at the site's top.

add_executable(rainbow_lab ${CMAKE_CURRENT_LIST_DIR}/lab_wasm.cpp)
target_link_libraries(rainbow_lab PRIVATE rainbow_physical)
rainbow_warnings(rainbow_lab)
set(_lab_exports _lab_setup _lab_problem _lab_trace _lab_develop _lab_profile_bins _lab_profile)
string(REPLACE ";" "," _lab_exports "${_lab_exports}")
set_target_properties(rainbow_lab PROPERTIES SUFFIX .js)
target_link_options(rainbow_lab PRIVATE
  -sMODULARIZE -sEXPORT_NAME=RainbowLab -sENVIRONMENT=worker -sALLOW_MEMORY_GROWTH
  -sFILESYSTEM=0 -sEXPORTED_FUNCTIONS=${_lab_exports}
  "-sEXPORTED_RUNTIME_METHODS=['UTF8ToString']")

# A build whose options bring in the threaded runtime for every target
# leaves it out of the lab's: objects with atomics cannot join memory that
# is not shared.
foreach(_target rainbow_lab rainbow_physical rainbow_physical_wave)
  if(TARGET ${_target})
    foreach(_property COMPILE_OPTIONS LINK_OPTIONS)
      get_target_property(_options ${_target} ${_property})
      if(_options)
        list(REMOVE_ITEM _options -pthread)
        set_property(TARGET ${_target} PROPERTY ${_property} "${_options}")
      endif()
    endforeach()
  endif()
endforeach()

set(RAINBOW_LAB_FILES
    $<TARGET_FILE:rainbow_lab> $<TARGET_FILE_DIR:rainbow_lab>/rainbow_lab.wasm
    ${CMAKE_CURRENT_LIST_DIR}/lab.html ${CMAKE_CURRENT_LIST_DIR}/lab.js
    ${CMAKE_CURRENT_LIST_DIR}/lab_worker.js)

# Where the site's own target copies its files in place, the lab's are
# copied in after them.
if(TARGET rainbow_site)
  add_custom_target(rainbow_lab_site ALL
    COMMAND ${CMAKE_COMMAND} -E copy ${RAINBOW_LAB_FILES} ${CMAKE_BINARY_DIR}/site
    COMMENT "Putting the lab page into ${CMAKE_BINARY_DIR}/site"
    VERBATIM)
  add_dependencies(rainbow_lab_site rainbow_site rainbow_lab)
endif()
