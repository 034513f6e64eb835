# Program-level tests of the network transport agent, against test printers on
# loopback addresses and a temporary tree (QUINTARO_ROOT).
add_executable(netfeeder_program_test netfeeder_program_test.cc netfeeder_fault_test.cc)
target_link_libraries(netfeeder_program_test PRIVATE test_support GTest::gtest GTest::gtest_main)
target_compile_definitions(netfeeder_program_test PRIVATE
                           NETFEEDER_PATH="$<TARGET_FILE:netfeeder>")
add_dependencies(netfeeder_program_test netfeeder)
gtest_discover_tests(netfeeder_program_test DISCOVERY_TIMEOUT 60)
