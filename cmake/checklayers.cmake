# Dependencies point one way: foundation <- dsp <- engine <- plugin/kit <- editor.
# Fails when a file of foundation/, dsp/ or engine/ includes a framework (JUCE) header or any
# header of a layer above its own. There is no exception: what the engine needs from above
# (the event queues, the MIDI menu base) it owns, and the layers above fill it.
#
#   cmake -DQUILL_ROOT=<source dir> -P cmake/checklayers.cmake
cmake_policy(VERSION 3.22)
if(NOT QUILL_ROOT)
    message(FATAL_ERROR "checklayers: pass -DQUILL_ROOT=<source dir>")
endif()

set(allowed_foundation foundation/)
set(allowed_dsp foundation/ dsp/)
set(allowed_engine foundation/ dsp/ engine/)

set(violations "")

# check_file(<path relative to root> <allowed prefixes...>)
function(check_file file)
    set(allowed ${ARGN})
    file(STRINGS "${QUILL_ROOT}/${file}" lines REGEX "^[ \t]*#[ \t]*include")
    foreach(line IN LISTS lines)
        string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*[<\"]([^>\"]*)[>\"].*$" "\\1" header "${line}")
        string(TOLOWER "${header}" lowered)
        if(lowered MATCHES "juce")
            list(APPEND violations "${file}: framework header <${header}>")
            continue()
        endif()
        if(NOT line MATCHES "\"")
            continue() # a system or library header
        endif()
        set(ok FALSE)
        foreach(prefix IN LISTS allowed)
            string(FIND "${header}" "${prefix}" at)
            if(at EQUAL 0)
                set(ok TRUE)
            endif()
        endforeach()
        if(NOT ok)
            list(APPEND violations "${file}: includes \"${header}\", above its layer")
        endif()
    endforeach()
    set(violations "${violations}" PARENT_SCOPE)
endfunction()

foreach(layer foundation dsp engine)
    file(GLOB_RECURSE files RELATIVE "${QUILL_ROOT}" "${QUILL_ROOT}/${layer}/*.h" "${QUILL_ROOT}/${layer}/*.cpp")
    list(SORT files)
    foreach(file IN LISTS files)
        check_file(${file} ${allowed_${layer}})
    endforeach()
endforeach()

if(violations)
    list(JOIN violations "\n  " text)
    message(FATAL_ERROR "Layering broken:\n  ${text}")
endif()
message(STATUS "Layering holds: foundation, dsp and engine include nothing above their layer")
