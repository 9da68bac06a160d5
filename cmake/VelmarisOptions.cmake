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

# Release builds are what gets installed and packaged, so they carry the hardening Debian asks
# of every package (the flags dpkg-buildflags gives, plus full RELRO and stack-clash checks)
# and are built independently of their folders, so that two builds make the same package. The
# sanitizer and fuzzer builds keep their own instrumentation: fortified string functions would
# hide the faults AddressSanitizer looks for.
if(NOT VELMARIS_SANITIZE AND NOT VELMARIS_FUZZ)
    include(CheckCXXCompilerFlag)
    include(CheckPIESupported)
    check_pie_supported()
    set(CMAKE_POSITION_INDEPENDENT_CODE ON)
    set(release_configs $<CONFIG:Release,RelWithDebInfo,MinSizeRel>)
    set(hardening -fstack-protector-strong -fstack-clash-protection -Wformat
                  -Werror=format-security)
    check_cxx_compiler_flag(-fcf-protection VELMARIS_HAVE_CF_PROTECTION)
    if(VELMARIS_HAVE_CF_PROTECTION)
        list(APPEND hardening -fcf-protection)
    endif()
    add_compile_options("$<${release_configs}:${hardening}>"
                        "$<${release_configs}:-ffile-prefix-map=${PROJECT_SOURCE_DIR}=.>"
                        "$<${release_configs}:-ffile-prefix-map=${PROJECT_BINARY_DIR}=.>")
    # Fortifying needs optimisation, which these configurations have. A level that the flags
    # from outside set already (a distribution's build) is left alone.
    if(NOT "${CMAKE_CXX_FLAGS} ${CMAKE_C_FLAGS}" MATCHES "_FORTIFY_SOURCE")
        add_compile_definitions("$<${release_configs}:_FORTIFY_SOURCE=2>")
    endif()
    add_link_options("$<${release_configs}:LINKER:-z,relro,-z,now>")
endif()

# Adds a GoogleTest executable to CTest, each test case a test of its own. Options:
#   GUI      a Qt program: moc runs, the offscreen platform is used and leaks are not reported
#   QT_MAIN  the tests run inside one QApplication made by tests/common/qt_test_main.cpp;
#            implies GUI
#   CLI      the tests run velmaris-cli: it is built first, its path is the VELMARIS_CLI macro
#   SIM      the tests run the simulated unit: it is built first, its path is the
#            VELMARIS_ECUSIM_PATH macro
#   velmaris_add_gtest(NAME [GUI] [QT_MAIN] [CLI] [SIM] SOURCES a.cpp b.cpp LIBS velmaris_core)
function(velmaris_add_gtest name)
    cmake_parse_arguments(ARG "GUI;QT_MAIN;CLI;SIM" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    if(ARG_QT_MAIN)
        set(ARG_GUI ON)
        set(test_main velmaris_qt_test_main)
    else()
        set(test_main GTest::gtest_main)
    endif()
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock ${test_main})
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/common)
    target_compile_definitions(${name} PRIVATE
        VELMARIS_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
        VELMARIS_FIXTURES_DIR="${PROJECT_SOURCE_DIR}/tests/data")
    if(ARG_CLI)
        target_compile_definitions(${name} PRIVATE VELMARIS_CLI="$<TARGET_FILE:velmaris-cli>")
        add_dependencies(${name} velmaris-cli)
    endif()
    if(ARG_SIM)
        target_compile_definitions(${name} PRIVATE
            VELMARIS_ECUSIM_PATH="$<TARGET_FILE:velmaris-ecusim>")
        add_dependencies(${name} velmaris-ecusim)
    endif()
    if(ARG_GUI)
        # Qt and fontconfig keep caches alive until exit; their leaks are not ours. The
        # environment goes through `cmake -E env` because a discovered test's ENVIRONMENT
        # property keeps only the first entry of a list. The user's settings are out of reach
        # (no folder can be made under /dev/null): every test starts from the defaults, and a
        # test of the settings points them at a folder of its own. The user's data folder (the
        # crash journals of the main window) lies in the build tree, never in the real home.
        set_target_properties(${name} PROPERTIES AUTOMOC ON CROSSCOMPILING_EMULATOR
            "${CMAKE_COMMAND};-E;env;QT_QPA_PLATFORM=offscreen;ASAN_OPTIONS=detect_leaks=0;XDG_CONFIG_HOME=/dev/null;XDG_DATA_HOME=${CMAKE_BINARY_DIR}/test-data-home")
    endif()
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST TEST_PREFIX "${name}."
                         PROPERTIES TIMEOUT 300)
endfunction()
