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
# programs that also run under ThreadSanitizer.
function(quill_test name)
    cmake_parse_arguments(Q "" "" "SOURCES;DEPS;LABELS" ${ARGN})
    add_executable(${name} ${Q_SOURCES})
    target_link_libraries(${name} PRIVATE ${Q_DEPS} GTest::gtest_main quill_warnings)
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tests)
    set(labels ${Q_LABELS})
    if(NOT labels)
        set(labels unit)
    endif()
    gtest_discover_tests(${name} PROPERTIES LABELS "${labels}" DISCOVERY_TIMEOUT 60)
endfunction()
