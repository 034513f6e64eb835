# The CUPS backend end to end: the installed suite under a cupsd of the test's own,
# with test printers on loopback addresses (127.0.13.x, 127.0.14.x).
add_executable(cups_program_test cups_program_test.cc)
target_link_libraries(cups_program_test PRIVATE test_support GTest::gtest GTest::gtest_main)
target_compile_definitions(cups_program_test PRIVATE CMAKE_COMMAND="${CMAKE_COMMAND}"
                           BUILD_DIR="${PROJECT_BINARY_DIR}")
# Everything the install lays out must be built first.
add_dependencies(cups_program_test jobshaper settingsview linebuilder netfeeder hostsweep
                 hostsweep_mibc hsweep_cmib runwarden pactrunner spoolrunner filtergate
                 quintaro_backend)
gtest_discover_tests(cups_program_test DISCOVERY_TIMEOUT 60)
