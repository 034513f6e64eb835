# Program-level tests of hostsweep: the built program against real SNMP agents and
# the test NPA print server on loopback addresses, and a temporary tree holding the
# compiled MIB.
add_executable(hostsweep_program_test ${CMAKE_CURRENT_SOURCE_DIR}/hostsweep_program_test.cc
               ${CMAKE_CURRENT_SOURCE_DIR}/hostsweep_npa_program_test.cc
               ${CMAKE_CURRENT_SOURCE_DIR}/hostsweep_prescan_test.cc)
target_link_libraries(hostsweep_program_test PRIVATE test_support GTest::gtest GTest::gtest_main)
target_compile_definitions(hostsweep_program_test PRIVATE
                           HOSTSWEEP_PATH="$<TARGET_FILE:hostsweep>"
                           HSWEEP_CMIB_PATH="${CMAKE_BINARY_DIR}/hostsweep/hsweep.cmib")
add_dependencies(hostsweep_program_test hostsweep hsweep_cmib)
gtest_discover_tests(hostsweep_program_test DISCOVERY_TIMEOUT 60)
