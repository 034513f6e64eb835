# Build helpers shared by the folders of the suite.

# quintaro_library(<target> [LINK <libraries>...] [SOURCES <extra sources>...])
# A static library of the folder's sources: every *.cc but main.cc, *_main.cc and
# *_test.cc, with the project root as include directory.
function(quintaro_library target)
  cmake_parse_arguments(ARG "" "" "LINK;SOURCES" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cc)
  list(FILTER sources EXCLUDE REGEX "(_test|_fuzz|/main|_main)\\.cc$")
  add_library(${target} STATIC ${sources} ${ARG_SOURCES})
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${target} PUBLIC ${ARG_LINK})
endfunction()

# quintaro_unit_tests(<target> <library>)
# One test binary from the folder's *_test.cc files, linked with <library>.
function(quintaro_unit_tests target library)
  if(NOT QUINTARO_TESTS)
    return()
  endif()
  file(GLOB tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cc)
  if(tests)
    add_executable(${target} ${tests})
    target_link_libraries(${target} PRIVATE ${library} test_support GTest::gtest GTest::gtest_main)
    gtest_discover_tests(${target} DISCOVERY_TIMEOUT 60)
  endif()
endfunction()
