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

set(RAINBOW_LAB_FILES
    $<TARGET_FILE:rainbow_lab> $<TARGET_FILE_DIR:rainbow_lab>/rainbow_lab.wasm
    ${CMAKE_CURRENT_LIST_DIR}/lab.html ${CMAKE_CURRENT_LIST_DIR}/lab.js
    ${CMAKE_CURRENT_LIST_DIR}/lab_worker.js)

