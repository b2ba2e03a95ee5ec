# quill_library(<name> SOURCES ... [DEPS ...])
# One static library per folder, on our warning flags, with the repository root as include path.
function(quill_library name)
    cmake_parse_arguments(Q "" "" "SOURCES;DEPS" ${ARGN})
    add_library(${name} STATIC ${Q_SOURCES})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${Q_DEPS} PRIVATE quill_warnings)
endfunction()

# quill_test(<name> SOURCES ... [DEPS ...] [DEFINES ...] [TOOLS ...] [LABELS ...])
# A GoogleTest program, registered test by test with ctest. TOOLS are the built programs it
# runs, built before it. Label "threads" marks the programs that also run under
# ThreadSanitizer (every program runs in the other builds).
function(quill_test name)
    cmake_parse_arguments(Q "" "" "SOURCES;DEPS;DEFINES;TOOLS;LABELS" ${ARGN})
    add_executable(${name} ${Q_SOURCES})
    target_link_libraries(${name} PRIVATE ${Q_DEPS} GTest::gtest_main quill_warnings)
    target_compile_definitions(${name} PRIVATE ${Q_DEFINES})
    if(Q_TOOLS)
        add_dependencies(${name} ${Q_TOOLS})
    endif()
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

# ---- JUCE's modules, compiled once ----
# JUCE's module targets are interface libraries that hand their sources to every target that
# links them, so each program would compile the framework again. These functions split what a
# module target carries into its sources and its usage (include paths, definitions, compile
# features, system libraries), read from JUCE's own targets so nothing is copied by hand.

# The named modules and every module they depend on.
function(quill_juce_closure out)
    get_property(known GLOBAL PROPERTY _juce_module_names)
    set(todo ${ARGN})
    set(seen "")
    while(todo)
        list(POP_FRONT todo module)
        string(REGEX REPLACE "^juce::" "" module "${module}")
        if(module IN_LIST seen OR NOT module IN_LIST known)
            continue()
        endif()
        list(APPEND seen ${module})
        get_target_property(deps ${module} INTERFACE_LINK_LIBRARIES)
        if(deps)
            list(APPEND todo ${deps})
        endif()
    endwhile()
    set(${out} ${seen} PARENT_SCOPE)
endfunction()

# quill_juce_usage(<target> <INTERFACE|PUBLIC|PRIVATE> module...)
# What compiling against the modules (and those they depend on) needs, without their sources.
function(quill_juce_usage target scope)
    get_property(known GLOBAL PROPERTY _juce_module_names)
    quill_juce_closure(modules ${ARGN})
    foreach(module IN LISTS modules)
        get_target_property(dirs ${module} INTERFACE_INCLUDE_DIRECTORIES)
        get_target_property(defs ${module} INTERFACE_COMPILE_DEFINITIONS)
        get_target_property(features ${module} INTERFACE_COMPILE_FEATURES)
        get_target_property(links ${module} INTERFACE_LINK_LIBRARIES)
        if(dirs)
            target_include_directories(${target} SYSTEM ${scope} ${dirs})
        endif()
        if(defs)
            target_compile_definitions(${target} ${scope} ${defs})
        endif()
        if(features)
            target_compile_features(${target} ${scope} ${features})
        endif()
        foreach(link IN LISTS links)
            string(REGEX REPLACE "^juce::" "" name "${link}")
            if(NOT name IN_LIST known)
                target_link_libraries(${target} ${scope} ${link})
            endif()
        endforeach()
    endforeach()
endfunction()

# quill_juce_library(<name> MODULES ... [DEPS ...])
# A static library of the named modules' own sources (not those of the modules they depend
# on: DEPS provides those), compiled with the framework's settings passed on to its users.
# The sources are JUCE's: their warnings are not ours and stay silent.
function(quill_juce_library name)
    cmake_parse_arguments(Q "" "" "MODULES;DEPS" ${ARGN})
    add_library(${name} STATIC)
    foreach(module IN LISTS Q_MODULES)
        get_target_property(sources ${module} INTERFACE_SOURCES)
        target_sources(${name} PRIVATE ${sources})
    endforeach()
    quill_juce_usage(${name} PUBLIC ${Q_MODULES})
    target_link_libraries(${name} PUBLIC ${Q_DEPS} quill_juce_settings
        juce::juce_recommended_config_flags juce::pkgconfig_JUCE_IMG_LINUX_DEPS)
    target_compile_options(${name} PRIVATE -w)
    set_target_properties(${name} PROPERTIES
        POSITION_INDEPENDENT_CODE ON
        VISIBILITY_INLINES_HIDDEN ON
        C_VISIBILITY_PRESET hidden
        CXX_VISIBILITY_PRESET hidden)
endfunction()
