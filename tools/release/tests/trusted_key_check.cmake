# The build's refusal to check a feed while trusting a key whose private half is in this
# repository (cmake/BuildIdentity.cmake), case by case, each in a CMake of its own:
#   cmake -DWORK_DIR=<scratch folder> -DSIGN_TOOL=<tovenmar-sign> -P trusted_key_check.cmake
# With CASE_KEY set, this script is one case: it runs the check as the build does.
get_filename_component(root "${CMAKE_CURRENT_LIST_DIR}/../../.." ABSOLUTE)
if(DEFINED CASE_KEY)
    include("${root}/cmake/BuildIdentity.cmake")
    set(TOVENMAR_TEST_BUILD ${CASE_TEST_BUILD})
    tov_check_trusted_key("${CASE_KEY}" "${CASE_FEED}")
    return()
endif()

file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}")
# The development key under another name is still the development key.
file(COPY_FILE "${root}/keys/development.pub" "${WORK_DIR}/copied.pub")
# A key of one's own, as a publisher makes it.
execute_process(COMMAND "${SIGN_TOOL}" keygen "${WORK_DIR}/own.key" "${WORK_DIR}/own.pub"
                RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "tovenmar-sign keygen failed")
endif()

set(feed "https://updates.example.invalid/feed.json")
function(expect name key feed testBuild refusal)
    execute_process(COMMAND "${CMAKE_COMMAND}" -DCASE_KEY=${key} -DCASE_FEED=${feed}
                            -DCASE_TEST_BUILD=${testBuild} -P "${CMAKE_CURRENT_LIST_FILE}"
                    RESULT_VARIABLE rc ERROR_VARIABLE err OUTPUT_QUIET)
    string(REGEX REPLACE "[ \n]+" " " err "${err}")
    set(refused FALSE)
    if(NOT rc EQUAL 0 AND err MATCHES "whose private half is in this repository")
        set(refused TRUE)
    endif()
    if(refused STREQUAL refusal)
        message(STATUS "${name}: ${refused}")
    else()
        message(SEND_ERROR "${name}: refused ${refused}, expected ${refusal} (exit ${rc})\n${err}")
    endif()
endfunction()

expect("development key, feed" "${root}/keys/development.pub" "${feed}" OFF TRUE)
expect("development key copied elsewhere, feed" "${WORK_DIR}/copied.pub" "${feed}" OFF TRUE)
expect("the tests' key, feed" "${root}/tests/keys/e2e-test.pub" "${feed}" OFF TRUE)
expect("development key, feed, test build" "${root}/keys/development.pub" "${feed}" ON FALSE)
expect("development key, no feed" "${root}/keys/development.pub" "" OFF FALSE)
expect("a key of one's own, feed" "${WORK_DIR}/own.pub" "${feed}" OFF FALSE)
