# Program-level tests of the launchers, with a recording stand-in for their scripts.
add_executable(launchers_recorder launchers_recorder.cc)
add_executable(launchers_program_test launchers_program_test.cc)
target_link_libraries(launchers_program_test PRIVATE test_support GTest::gtest GTest::gtest_main)
target_compile_definitions(launchers_program_test PRIVATE
    RUNWARDEN_PATH="$<TARGET_FILE:runwarden>" PACTRUNNER_PATH="$<TARGET_FILE:pactrunner>"
    SPOOLRUNNER_PATH="$<TARGET_FILE:spoolrunner>" FILTERGATE_PATH="$<TARGET_FILE:filtergate>"
    RECORDER_PATH="$<TARGET_FILE:launchers_recorder>" CMAKE_COMMAND="${CMAKE_COMMAND}"
    BUILD_DIR="${PROJECT_BINARY_DIR}" QUINTARO_PREFIX="${QUINTARO_PREFIX}")
add_dependencies(launchers_program_test runwarden pactrunner spoolrunner filtergate
                 launchers_recorder)
gtest_discover_tests(launchers_program_test DISCOVERY_TIMEOUT 60)
