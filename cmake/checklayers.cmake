# Dependencies point one way: foundation <- dsp <- engine <- plugin/kit <- editor.
# Fails when a file of foundation/, dsp/ or engine/ includes a framework (JUCE) header, a
# widget header or any header of a layer above its own. The engine may read a few records
# of the control kit and the editor that are built without the framework (the control
# holder, the control contract, the controller record, the root control); those headers
# are held to the engine's rule too, so nothing below kit/ can reach a JUCE header through
# them.
#
#   cmake -DQUILL_ROOT=<source dir> -P cmake/checklayers.cmake
cmake_policy(VERSION 3.22)
if(NOT QUILL_ROOT)
    message(FATAL_ERROR "checklayers: pass -DQUILL_ROOT=<source dir>")
endif()

set(guifree_records kit/pguitools.h kit/pkcontrol.h editor/pcontroller.h editor/pkcomponente.h)
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
        if(header IN_LIST guifree_records)
            list(FIND allowed "engine/" engineallowed)
            if(NOT engineallowed EQUAL -1)
                set(ok TRUE)
            endif()
        endif()
        if(NOT ok)
            list(APPEND violations "${file}: includes \"${header}\", above its layer or a widget header")
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
foreach(record IN LISTS guifree_records)
    check_file(${record} ${allowed_engine})
endforeach()

if(violations)
    list(JOIN violations "\n  " text)
    message(FATAL_ERROR "Layering broken:\n  ${text}")
endif()
message(STATUS "Layering holds: foundation, dsp and engine include no framework or widget header")
