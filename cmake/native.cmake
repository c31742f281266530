# Native build: the portable core and its tests under AddressSanitizer and UBSan.
set(QF_SANITIZE -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
add_compile_options(${QF_SANITIZE} -g)
add_link_options(${QF_SANITIZE})

set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(${GTEST_SOURCE_DIR} googletest EXCLUDE_FROM_ALL)

add_executable(core_tests
  tests/core/cstring_test.cpp
  tests/core/line_cutter_test.cpp
  tests/core/percent_encode_test.cpp)
target_link_libraries(core_tests PRIVATE qf_core GTest::gtest_main)
target_compile_options(core_tests PRIVATE ${QF_WARNINGS})
gtest_discover_tests(core_tests TEST_PREFIX "native." DISCOVERY_MODE PRE_TEST)
