# What tells one build of Tovenmar from another: the version it reports (its own text and the
# executable's version record), the public key its updates must be signed with, and the release
# feed it checks. The build options TOVENMAR_VERSION, TOVENMAR_RELEASE_KEY and TOVENMAR_FEED_URL
# set them for the whole build; a program that stands for another build (the end-to-end update
# test's old and new versions) makes an identity of its own, so only a small source file and the
# version record differ between them.

get_filename_component(TOV_IDENTITY_SOURCE_DIR "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)

# Refuses a build that checks a real feed while trusting a key whose private half is in this
# repository (the development key, the tests' key): anyone could sign an update it installs.
# A test build (TOVENMAR_TEST_BUILD) may, since it is never published.
function(tov_check_trusted_key key feed)
    if(feed STREQUAL "" OR TOVENMAR_TEST_BUILD)
        return()
    endif()
    file(READ "${key}" trusted HEX)
    file(GLOB known "${TOV_IDENTITY_SOURCE_DIR}/keys/*.pub"
                    "${TOV_IDENTITY_SOURCE_DIR}/tests/keys/*.pub")
    foreach(public ${known})
        string(REGEX REPLACE "\\.pub$" ".key" private "${public}")
        file(READ "${public}" bytes HEX)
        if(EXISTS "${private}" AND bytes STREQUAL trusted)
            message(FATAL_ERROR "This build would check the feed ${feed} while trusting ${key}: "
                "that is the key ${public}, whose private half is in this repository, so anyone "
                "could sign an update it installs. Set TOVENMAR_RELEASE_KEY to the public half "
                "of the release key (scripts/release.sh does), or -DTOVENMAR_TEST_BUILD=ON for a "
                "build that is only ever tested.")
        endif()
    endforeach()
endfunction()

# The 72-byte public key blob of a key file made by "tovenmar-sign keygen", as C initialiser
# bytes.
function(tov_public_key_bytes file out)
    if(NOT EXISTS "${file}")
        message(FATAL_ERROR "The release key file ${file} does not exist "
                            "(TOVENMAR_RELEASE_KEY names the public half of the signing key)")
    endif()
    file(READ "${file}" hex HEX)
    string(LENGTH "${hex}" length)
    if(NOT length EQUAL 144 OR NOT hex MATCHES "^4543533120000000")
        message(FATAL_ERROR "${file} is not a public key made by tovenmar-sign keygen "
                            "(72 bytes: \"ECS1\", key length 32, X, Y)")
    endif()
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1, " bytes "${hex}")
    string(REGEX REPLACE "((0x[0-9a-f][0-9a-f], ){12})" "\\1\n        " bytes "${bytes}")
    string(STRIP "${bytes}" bytes)
    set(${out} "${bytes}" PARENT_SCOPE)
endfunction()

function(tov_check_identity_values version feed)
    # Three numbers: what the updater compares and what a version record holds.
    if(NOT version MATCHES "^[0-9]+\\.[0-9]+\\.[0-9]+$")
        message(FATAL_ERROR "A version is three numbers such as 1.2.0, not \"${version}\"")
    endif()
    if(NOT feed STREQUAL "" AND NOT feed MATCHES "^https://[^\"\\\\ ]+$")
        message(FATAL_ERROR "The feed address must be an https:// URL (or empty for a build "
                            "that checks no feed), not \"${feed}\"")
    endif()
endfunction()

# tov_build_identity(<target> STATIC|OBJECT VERSION <x.y.z> KEY <public key file> FEED <url>)
# A library with the identity's definitions (update/build_identity.cpp.in).
function(tov_build_identity target kind)
    cmake_parse_arguments(ARG "" "VERSION;KEY;FEED" "" ${ARGN})
    tov_check_identity_values("${ARG_VERSION}" "${ARG_FEED}")
    tov_public_key_bytes("${ARG_KEY}" TOV_ID_KEY_BYTES)
    tov_check_trusted_key("${ARG_KEY}" "${ARG_FEED}")
    set(TOV_ID_VERSION "${ARG_VERSION}")
    set(TOV_ID_FEED "${ARG_FEED}")
    set(TOV_ID_KEY_FILE "${ARG_KEY}")
    set(dir "${CMAKE_CURRENT_BINARY_DIR}/${target}")
    configure_file("${PROJECT_SOURCE_DIR}/update/build_identity.cpp.in"
                   "${dir}/build_identity.cpp" @ONLY)
    # A new key file means a new configure.
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${ARG_KEY}")
    add_library(${target} ${kind} "${dir}/build_identity.cpp")
    target_link_libraries(${target} PRIVATE tov_options)
endfunction()

# tov_version_record(<target> VERSION <x.y.z>)
# On Windows, an object library with the program's resources (resources/tovenmar.rc: icon,
# manifest, phone package) and a version record that reads <x.y.z>. Elsewhere nothing.
function(tov_version_record target)
    cmake_parse_arguments(ARG "" "VERSION" "" ${ARGN})
    if(NOT TOV_WINDOWS)
        return()
    endif()
    tov_check_identity_values("${ARG_VERSION}" "")
    string(REPLACE "." "," numbers "${ARG_VERSION}")
    set(dir "${CMAKE_CURRENT_BINARY_DIR}/${target}")
    # Definitions reach the resource compiler through a generated file: windres runs its
    # preprocessor through a shell, which would strip the quotes of a -D definition.
    file(CONFIGURE OUTPUT "${dir}/program.rc" CONTENT
"// Generated by CMake: the resources of one build of Tovenmar.
#define TOVENMAR_VERSION_NUMBERS ${numbers},0
#define TOVENMAR_VERSION_TEXT \"${ARG_VERSION}\"
#include \"tovenmar.rc\"
")
    add_library(${target} OBJECT "${dir}/program.rc")
    target_link_libraries(${target} PRIVATE tov_resource_inputs)
    get_property(depends GLOBAL PROPERTY TOV_RESOURCE_FILES)
    set_property(SOURCE "${dir}/program.rc" APPEND PROPERTY OBJECT_DEPENDS ${depends})
endfunction()
