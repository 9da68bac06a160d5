# Compiler flags shared by every target of the project.

add_compile_options(-Wall -Wextra)
if(VELMARIS_WERROR)
    add_compile_options(-Werror)
endif()

if(VELMARIS_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined
                        -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
endif()

if(VELMARIS_FUZZ)
    add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined
                        -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
endif()

# Adds a GoogleTest executable to CTest. Extra arguments after LIBS are linked.
#   velmaris_add_gtest(NAME SOURCES a.cpp b.cpp LIBS velmaris_core)
function(velmaris_add_gtest name)
    cmake_parse_arguments(ARG "GUI" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/common)
    target_compile_definitions(${name} PRIVATE
        VELMARIS_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
        VELMARIS_FIXTURES_DIR="${PROJECT_SOURCE_DIR}/tests/data")
    if(ARG_GUI)
        # Qt and fontconfig keep caches alive until exit; their leaks are not ours. The
        # environment goes through `cmake -E env` because a discovered test's ENVIRONMENT
        # property keeps only the first entry of a list. The user's data folder (the crash
        # journals of the main window) lies in the build tree, never in the real home.
        set_target_properties(${name} PROPERTIES AUTOMOC ON CROSSCOMPILING_EMULATOR
            "${CMAKE_COMMAND};-E;env;QT_QPA_PLATFORM=offscreen;ASAN_OPTIONS=detect_leaks=0;XDG_DATA_HOME=${CMAKE_BINARY_DIR}/test-data-home")
    endif()
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST TEST_PREFIX "${name}."
                         PROPERTIES TIMEOUT 300)
endfunction()
