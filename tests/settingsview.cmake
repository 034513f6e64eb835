# Program-level tests of settingsview: the built program against temporary trees.
add_executable(settingsview_program_test ${CMAKE_CURRENT_SOURCE_DIR}/settingsview_program_test.cc)
target_link_libraries(settingsview_program_test PRIVATE test_support pdd GTest::gtest GTest::gtest_main)
target_compile_definitions(settingsview_program_test PRIVATE
                           SETTINGSVIEW_PATH="$<TARGET_FILE:settingsview>")
add_dependencies(settingsview_program_test settingsview)
gtest_discover_tests(settingsview_program_test DISCOVERY_TIMEOUT 60)
