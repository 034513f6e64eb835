# The fuzz build (QUINTARO_FUZZ, with clang): libFuzzer targets for the parsers of
# untrusted and hand-written input, under AddressSanitizer and UndefinedBehaviorSanitizer.
# scripts/fuzz.sh configures it in build-fuzz and runs every target.

option(QUINTARO_FUZZ "Build the libFuzzer targets (clang only); the tests are left out" OFF)
if(NOT QUINTARO_FUZZ)
  return()
endif()
if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  message(FATAL_ERROR "QUINTARO_FUZZ needs clang: -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++")
endif()

# A sanitizer build (which also keeps the C++ runtime shared), without the tests;
# everything compiled is instrumented for the fuzzer, and only the targets link its main.
set(QUINTARO_SANITIZE ON)
set(QUINTARO_TESTS OFF)
add_compile_options(-fsanitize=fuzzer-no-link)

set(QUINTARO_FUZZ_DIR ${PROJECT_BINARY_DIR}/fuzz)

# quintaro_fuzz(<name> <source> LINK <libraries>...)
# A libFuzzer target built into build-fuzz/fuzz/; its committed seeds are the files
# of fuzz/<name>/ in the source's folder.
function(quintaro_fuzz name source)
  cmake_parse_arguments(ARG "" "" "LINK" ${ARGN})
  add_executable(${name} ${PROJECT_SOURCE_DIR}/${source})
  target_link_libraries(${name} PRIVATE ${ARG_LINK})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${QUINTARO_FUZZ_DIR})
  get_filename_component(folder ${source} DIRECTORY)
  set_property(GLOBAL APPEND_STRING PROPERTY QUINTARO_FUZZ_MANIFEST
               "${name} ${folder}/fuzz/${name}\n")
  set_property(GLOBAL APPEND PROPERTY QUINTARO_FUZZ_TARGETS ${name})
endfunction()

# The targets are defined once the whole project is read, so that they get the
# project's compile options as every library does.
function(quintaro_fuzz_targets)
  quintaro_fuzz(read_pdd_fuzz pdd/read_pdd_fuzz.cc LINK jobshaper_lib)
  quintaro_fuzz(definitions_fuzz pdd/definitions_fuzz.cc LINK pdd)
  quintaro_fuzz(program_frame_fuzz common/program_frame_fuzz.cc LINK common)
  quintaro_fuzz(code_strings_fuzz jobshaper/code_strings_fuzz.cc LINK jobshaper_lib)
  quintaro_fuzz(expr_fuzz jobshaper/expr_fuzz.cc LINK jobshaper_lib)
  quintaro_fuzz(overrides_fuzz jobshaper/overrides_fuzz.cc LINK jobshaper_lib sample_tree)
  quintaro_fuzz(ir_reader_fuzz netfeeder/ir_reader_fuzz.cc LINK netfeeder_lib)
  quintaro_fuzz(printable_fuzz netfeeder/printable_fuzz.cc LINK netfeeder_lib)
  quintaro_fuzz(netfeeder_options_fuzz netfeeder/options_fuzz.cc LINK netfeeder_lib)
  quintaro_fuzz(hostsweep_options_fuzz hostsweep/options_fuzz.cc LINK hostsweep_lib)
  quintaro_fuzz(printers_fuzz hostsweep/printers_fuzz.cc LINK hostsweep_lib)
  quintaro_fuzz(probe_reply_fuzz hostsweep/probe_reply_fuzz.cc LINK hostsweep_lib)
  quintaro_fuzz(mib_tree_fuzz hostsweep/mib_tree_fuzz.cc LINK hostsweep_lib)
  quintaro_fuzz(snmp_value_fuzz hostsweep/snmp_value_fuzz.cc LINK hostsweep_lib)
  quintaro_fuzz(prescan_reply_fuzz hostsweep/prescan_reply_fuzz.cc LINK hostsweep_lib)
  quintaro_fuzz(npa_transport_fuzz npa/npa_transport_fuzz.cc LINK npa)
  quintaro_fuzz(launcher_options_fuzz launchers/launcher_options_fuzz.cc LINK launchers_lib)
  quintaro_fuzz(pddtool_command_line_fuzz pddtool/command_line_fuzz.cc LINK pddtool_lib)
  quintaro_fuzz(compile_fuzz pddtool/compile_fuzz.cc LINK pddtool_lib)
  quintaro_fuzz(backend_input_fuzz cups/backend_input_fuzz.cc LINK cups_lib)

  # The structured seeds, made with the suite's own encoders (the PDD writer, the MIB
  # encoder, the NPA simulator's reply builder) and the sample PDD, are committed as
  # FOLDER/fuzz/TARGET/gen-*; this writes them again after a format changes.
  add_executable(make_fuzz_seeds ${PROJECT_SOURCE_DIR}/tests/support/fuzz_seeds.cc
                                 ${PROJECT_SOURCE_DIR}/tests/support/npa_simulator.cc)
  target_link_libraries(make_fuzz_seeds PRIVATE pdd hostsweep_lib common)
  # Seeds name only the fields they need, as the tests do.
  target_compile_options(make_fuzz_seeds PRIVATE -Wno-missing-field-initializers)
  target_compile_definitions(make_fuzz_seeds PRIVATE
                             SAMPLE_PDD_PATH="${PROJECT_BINARY_DIR}/sample/generic_pcl.b")
  add_dependencies(make_fuzz_seeds sample_pdd)
  add_custom_target(fuzz_seeds
                    COMMAND make_fuzz_seeds ${PROJECT_SOURCE_DIR}
                            ${PROJECT_SOURCE_DIR}/sample/generic_pcl.yaml
                    COMMENT "Writing the generated fuzz seeds into the source tree" VERBATIM)

  get_property(manifest GLOBAL PROPERTY QUINTARO_FUZZ_MANIFEST)
  get_property(targets GLOBAL PROPERTY QUINTARO_FUZZ_TARGETS)
  file(GENERATE OUTPUT ${QUINTARO_FUZZ_DIR}/targets.txt CONTENT "${manifest}")
  add_custom_target(fuzz)
  add_dependencies(fuzz ${targets})
endfunction()
cmake_language(DEFER CALL quintaro_fuzz_targets)
