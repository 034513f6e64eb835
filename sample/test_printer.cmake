# A printer on a loopback address for the demo and the benchmarks (sample/test_printer.cc).
add_executable(test_printer ${CMAKE_CURRENT_LIST_DIR}/test_printer.cc)
target_link_libraries(test_printer PRIVATE common)
