# quill_library(<name> SOURCES ... [DEPS ...])
# One static library per folder, on our warning flags, with the repository root as include path.
function(quill_library name)
    cmake_parse_arguments(Q "" "" "SOURCES;DEPS" ${ARGN})
    add_library(${name} STATIC ${Q_SOURCES})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${Q_DEPS} PRIVATE quill_warnings)
endfunction()

# quill_test(<name> SOURCES ... [DEPS ...] [LABELS ...])
# A GoogleTest program, registered test by test with ctest. Label "threads" marks the
# programs that also run under ThreadSanitizer (every program runs in the other builds).
function(quill_test name)
    cmake_parse_arguments(Q "" "" "SOURCES;DEPS;LABELS" ${ARGN})
    add_executable(${name} ${Q_SOURCES})
    target_link_libraries(${name} PRIVATE ${Q_DEPS} GTest::gtest_main quill_warnings)
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tests)
    # gtest_discover_tests cannot carry a list of labels through to ctest: one label each.
    set(label unit)
    if("threads" IN_LIST Q_LABELS)
        set(label threads)
    elseif(Q_LABELS)
        list(GET Q_LABELS 0 label)
    endif()
    gtest_discover_tests(${name} PROPERTIES LABELS ${label} DISCOVERY_TIMEOUT 60)
endfunction()
