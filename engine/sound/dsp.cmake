# The DSP's sources, included by engine/sound/CMakeLists.txt.
set(VOXTRAWL_DSP_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/dsp.cpp
    ${CMAKE_CURRENT_LIST_DIR}/dsp_core.cpp
    ${CMAKE_CURRENT_LIST_DIR}/dsp_schedule.cpp
    ${CMAKE_CURRENT_LIST_DIR}/dsp_tables.cpp
)
