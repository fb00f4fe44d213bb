# Build helpers shared by the runtime, the modules and the deliverables.
#
# Module and runtime code is written once and compiled once per runtime edition:
#   newest  - the all-module library (IMpFactory2, IMpPlugin2, IMpUserInterface2B, IMpGraphics2)
#   earlier - the single-module libraries (IMpFactory only, host handed to the constructor)
# The edition is the compile definition PQ_EDITION_EARLIER (0 or 1) carried by the runtime target.

# pq_edition_library(<name> SOURCES ... [LINK ...])
# Makes static libraries <name>_newest and <name>_earlier; LINK names other edition libraries
# (by base name) and plain targets (prefixed with '::' are taken as they are, e.g. ::m).
function(pq_edition_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LINK;PUBLIC_INCLUDE" ${ARGN})
    foreach(edition newest earlier)
        set(tgt ${name}_${edition})
        add_library(${tgt} STATIC EXCLUDE_FROM_ALL ${ARG_SOURCES})
        if(edition STREQUAL "earlier")
            target_compile_definitions(${tgt} PUBLIC PQ_EDITION_EARLIER=1)
        else()
            target_compile_definitions(${tgt} PUBLIC PQ_EDITION_EARLIER=0)
        endif()
        target_include_directories(${tgt} PUBLIC ${PROJECT_SOURCE_DIR})
        foreach(dep ${ARG_LINK})
            if(dep MATCHES "^::(.*)")
                target_link_libraries(${tgt} PUBLIC ${CMAKE_MATCH_1})
            else()
                target_link_libraries(${tgt} PUBLIC ${dep}_${edition})
            endif()
        endforeach()
    endforeach()
endfunction()

# pq_deliverable(<name> EDITION newest|earlier SOURCES ... MODULES ...)
# A plug-in library build/plugins/<name>.so exporting MP_GetFactory alone.
function(pq_deliverable name)
    cmake_parse_arguments(ARG "" "EDITION" "SOURCES;MODULES" ${ARGN})
    add_library(${name} MODULE ${ARG_SOURCES})
    set_target_properties(${name} PROPERTIES
        PREFIX ""
        LIBRARY_OUTPUT_DIRECTORY ${PQ_PLUGIN_DIR})
    foreach(m ${ARG_MODULES})
        target_link_libraries(${name} PRIVATE ${m}_${ARG_EDITION})
    endforeach()
    target_link_libraries(${name} PRIVATE pq_audio_runtime_${ARG_EDITION})
    target_link_options(${name} PRIVATE "-Wl,--version-script=${PROJECT_SOURCE_DIR}/cmake/exports.map")
    # The fuzz build's sanitizer and coverage runtimes live in the fuzzing executable, which
    # resolves them when it loads the library.
    if(NOT PQ_FUZZ)
        target_link_options(${name} PRIVATE -Wl,--no-undefined)
    endif()
    set_property(GLOBAL APPEND PROPERTY PQ_DELIVERABLES ${name})
endfunction()
