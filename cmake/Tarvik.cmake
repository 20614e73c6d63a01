# Helpers shared by the CMakeLists of src/, tests/, bench/ and fuzz/.

# tarvik_library(<name> SOURCES <files...> [DEPS <targets...>])
# A static library of the core. Core libraries never link Qt.
function(tarvik_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
    add_library(${name} STATIC ${ARG_SOURCES})
    target_include_directories(${name} PUBLIC ${TARVIK_SRC_DIR})
    if(ARG_DEPS)
        target_link_libraries(${name} PUBLIC ${ARG_DEPS})
    endif()
endfunction()

# tarvik_test(<name> SOURCES <files...> [DEPS <targets...>] [TIMEOUT <seconds>])
# One GoogleTest executable and one ctest entry for it. Tests find the source tree through
# TARVIK_SOURCE_DIR and write only below a temporary directory of their own.
function(tarvik_test name)
    cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;DEPS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gmock GTest::gtest_main)
    if(TARGET tarvik_test_support)
        target_link_libraries(${name} PRIVATE tarvik_test_support)
    endif()
    # Shared test helpers: #include "support/..." and an area's own helpers as "area/...".
    target_include_directories(${name} PRIVATE ${TARVIK_DATA_DIR}/tests)
    target_compile_definitions(${name} PRIVATE TARVIK_SOURCE_DIR="${TARVIK_DATA_DIR}"
                                               TARVIK_BINARY_DIR="${CMAKE_BINARY_DIR}")
    add_test(NAME ${name} COMMAND ${name})
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 300)
    endif()
    set_tests_properties(${name} PROPERTIES TIMEOUT ${ARG_TIMEOUT})
endfunction()

# tarvik_fuzz_target(<name> SOURCES <files...> [DEPS <targets...>] [SECONDS <n>])
# A libFuzzer executable, and a ctest entry that runs it for a few seconds over its committed
# seed corpus (corpus/<name>/ beside the CMakeLists). New inputs go to a scratch directory in
# the build tree, never into the committed corpus.
function(tarvik_fuzz_target name)
    cmake_parse_arguments(ARG "" "SECONDS" "SOURCES;DEPS" ${ARGN})
    if(NOT ARG_SECONDS)
        set(ARG_SECONDS 5)
    endif()
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_DEPS})
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    set(seed_dir ${CMAKE_CURRENT_SOURCE_DIR}/corpus/${name})
    set(work_dir ${CMAKE_CURRENT_BINARY_DIR}/work/${name})
    file(MAKE_DIRECTORY ${work_dir})
    add_test(NAME ${name}
             COMMAND ${name} -max_total_time=${ARG_SECONDS} -timeout=10 -rss_limit_mb=2048
                     -print_final_stats=1 -artifact_prefix=${CMAKE_CURRENT_BINARY_DIR}/
                     ${work_dir} ${seed_dir})
    math(EXPR limit "${ARG_SECONDS} * 4 + 60")
    set_tests_properties(${name} PROPERTIES TIMEOUT ${limit})
endfunction()

# tarvik_benchmark(<name> SOURCES <files...> [DEPS <targets...>])
function(tarvik_benchmark name)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_DEPS} benchmark::benchmark)
    target_compile_definitions(${name} PRIVATE TARVIK_SOURCE_DIR="${TARVIK_DATA_DIR}")
endfunction()

# Adds every listed subdirectory that has a CMakeLists.txt, so that each area owns its own.
function(tarvik_add_areas)
    foreach(dir ${ARGN})
        if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/CMakeLists.txt)
            add_subdirectory(${dir})
        endif()
    endforeach()
endfunction()
