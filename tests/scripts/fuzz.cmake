# A short libFuzzer run over the workbook reader, in its own clang build tree.
add_test(NAME xls_fuzz_decode
    COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${CMAKE_CURRENT_SOURCE_DIR}/fuzz
            -DBUILD_DIR=${CMAKE_BINARY_DIR}/fuzz-build -DSECONDS=30
            -P ${CMAKE_CURRENT_SOURCE_DIR}/fuzz/runfuzz.cmake)
set_tests_properties(xls_fuzz_decode PROPERTIES TIMEOUT 300 SKIP_REGULAR_EXPRESSION "SKIP:")
