# Shared build rules: warnings, the two targets (native and Windows), libraries and tests.

if(CMAKE_SYSTEM_NAME STREQUAL "Windows")
    set(TOV_WINDOWS ON)
else()
    set(TOV_WINDOWS OFF)
endif()

find_program(TOV_CCACHE ccache)
if(TOV_CCACHE)
    set(CMAKE_C_COMPILER_LAUNCHER ${TOV_CCACHE})
    set(CMAKE_CXX_COMPILER_LAUNCHER ${TOV_CCACHE})
endif()

add_library(tov_options INTERFACE)
target_include_directories(tov_options INTERFACE ${PROJECT_SOURCE_DIR})
if(MSVC)
    target_compile_options(tov_options INTERFACE /W4 /utf-8 /permissive-)
    target_compile_definitions(tov_options INTERFACE UNICODE _UNICODE NOMINMAX WIN32_LEAN_AND_MEAN
                               _CRT_SECURE_NO_WARNINGS)
else()
    target_compile_options(tov_options INTERFACE -Wall -Wextra)
endif()
if(TOV_WINDOWS)
    target_compile_definitions(tov_options INTERFACE UNICODE _UNICODE NOMINMAX WIN32_LEAN_AND_MEAN
                               _WIN32_WINNT=0x0A00 WINVER=0x0A00)
    if(MINGW)
        # One self-contained executable: no MinGW runtime DLLs to ship beside it.
        target_compile_definitions(tov_options INTERFACE __USE_MINGW_ANSI_STDIO=1)
        target_link_options(tov_options INTERFACE -static -static-libgcc -static-libstdc++)
    endif()
else()
    find_package(Threads REQUIRED)
    target_link_libraries(tov_options INTERFACE Threads::Threads)
    if(TOVENMAR_SANITIZE)
        target_compile_options(tov_options INTERFACE -fsanitize=address,undefined
                               -fno-omit-frame-pointer)
        target_link_options(tov_options INTERFACE -fsanitize=address,undefined)
    endif()
    if(TOVENMAR_TSAN)
        target_compile_options(tov_options INTERFACE -fsanitize=thread -fno-omit-frame-pointer)
        target_link_options(tov_options INTERFACE -fsanitize=thread)
    endif()
endif()

# tov_library(<name> SOURCES ... [WIN_SOURCES ...] [POSIX_SOURCES ...] [DEPS ...])
# A static library of one subsystem. WIN_SOURCES build only for Windows, POSIX_SOURCES only
# natively.
function(tov_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;WIN_SOURCES;POSIX_SOURCES;DEPS" ${ARGN})
    set(srcs ${ARG_SOURCES})
    if(TOV_WINDOWS)
        list(APPEND srcs ${ARG_WIN_SOURCES})
    else()
        list(APPEND srcs ${ARG_POSIX_SOURCES})
    endif()
    add_library(${name} STATIC ${srcs})
    target_link_libraries(${name} PUBLIC tov_options ${ARG_DEPS})
endfunction()

macro(tov_setup_gtest)
    if(TOVENMAR_GTEST_SOURCE AND EXISTS ${TOVENMAR_GTEST_SOURCE}/CMakeLists.txt)
        set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
        set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
        add_subdirectory(${TOVENMAR_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
        set(TOV_GTEST_LIBS gtest gmock)
    else()
        find_package(GTest REQUIRED)
        set(TOV_GTEST_LIBS GTest::gtest GTest::gmock)
    endif()
    include(GoogleTest)
    if(TOV_WINDOWS AND CMAKE_CROSSCOMPILING)
        # Windows test programs run under Wine, each in this build tree's own throw-away prefix.
        configure_file(${PROJECT_SOURCE_DIR}/cmake/wine-run.sh.in ${CMAKE_BINARY_DIR}/wine-run.sh
                       @ONLY FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
                       GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
        set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run.sh)
    endif()
    # The label every test of this build tree carries.
    if(TOV_WINDOWS)
        set(TOV_TIER_LABEL windows)
    else()
        set(TOV_TIER_LABEL native)
    endif()
endmacro()

# tov_test(<name> SOURCES ... [DEPS ...] [LABELS ...] [TIMEOUT s] [NO_MAIN])
# One GoogleTest program, registered with ctest as one test carrying the tier label
# ("native" or "windows") plus any extra labels. Windows programs run through the emulator.
function(tov_test name)
    if(NOT TOVENMAR_TESTS)
        return()
    endif()
    # PHONE_PORTS: the test drives the simulator's adb forwards, and one holds the local ports
    # 27183 to 27185 to show that another program there changes nothing; no two such tests run
    # at once.
    cmake_parse_arguments(ARG "NO_MAIN;PHONE_PORTS" "TIMEOUT" "SOURCES;DEPS;LABELS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    if(ARG_NO_MAIN)
        target_link_libraries(${name} PRIVATE tov_options ${ARG_DEPS} ${TOV_GTEST_LIBS})
    else()
        target_link_libraries(${name} PRIVATE tov_options ${ARG_DEPS} ${TOV_GTEST_LIBS}
                              tov_test_main)
    endif()
    if(TOV_WINDOWS)
        # Console programs, so that Wine shows their output.
        if(MINGW)
            target_link_options(${name} PRIVATE -mconsole)
        endif()
    endif()
    add_test(NAME ${name} COMMAND ${name} --gtest_color=no)
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 300)
    endif()
    set_tests_properties(${name} PROPERTIES LABELS "${TOV_TIER_LABEL};${ARG_LABELS}"
                         TIMEOUT ${ARG_TIMEOUT})
    if(ARG_PHONE_PORTS)
        set_tests_properties(${name} PROPERTIES RESOURCE_LOCK tovenmar_phone_ports)
    endif()
endfunction()
