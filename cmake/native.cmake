# Native build: the portable core and its tests under AddressSanitizer and UBSan.
set(QF_SANITIZE -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
add_compile_options(${QF_SANITIZE} -g)
add_link_options(${QF_SANITIZE})

# QF_FUZZ (with clang): a libFuzzer target over the same core instead.
option(QF_FUZZ "Build the libFuzzer target instead of the unit tests" OFF)
if(QF_FUZZ)
  add_executable(core_fuzzer tests/fuzz/core_fuzzer.cpp)
  target_link_libraries(core_fuzzer PRIVATE qf_core)
  target_compile_options(core_fuzzer PRIVATE -fsanitize=fuzzer)
  target_link_options(core_fuzzer PRIVATE -fsanitize=fuzzer)
  target_compile_options(qf_core PRIVATE -fsanitize=fuzzer-no-link)
  # A short bounded run in every test run; scripts/fuzz runs longer. Inputs
  # that once failed are kept in the corpus and replayed first.
  add_test(NAME fuzz.core COMMAND sh -c
    "mkdir -p corpus-work && ./core_fuzzer -max_total_time=20 -timeout=10 -rss_limit_mb=4096 corpus-work ${CMAKE_SOURCE_DIR}/tests/fuzz/corpus")
  return()
endif()


set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(${GTEST_SOURCE_DIR} googletest EXCLUDE_FROM_ALL)

add_executable(core_tests tests/core/copy_rule_test.cpp tests/core/line_cutter_test.cpp)
target_link_libraries(core_tests PRIVATE qf_core GTest::gtest_main)
target_compile_options(core_tests PRIVATE ${QF_WARNINGS})
gtest_discover_tests(core_tests TEST_PREFIX "native." DISCOVERY_MODE PRE_TEST)
