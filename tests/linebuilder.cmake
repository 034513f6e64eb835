# Program-level tests of linebuilder: the built program against temporary trees.
add_executable(linebuilder_program_test ${CMAKE_CURRENT_SOURCE_DIR}/linebuilder_program_test.cc)
target_link_libraries(linebuilder_program_test PRIVATE test_support GTest::gtest GTest::gtest_main)
target_compile_definitions(linebuilder_program_test PRIVATE
                           LINEBUILDER_PATH="$<TARGET_FILE:linebuilder>")
add_dependencies(linebuilder_program_test linebuilder)
gtest_discover_tests(linebuilder_program_test DISCOVERY_TIMEOUT 60)
