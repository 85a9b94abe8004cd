# Short libFuzzer runs over the workbook reader and the family-tree reader, in one clang build
# tree (so they take turns).
function(pq_add_fuzz_test name fuzzer seeds)
    add_test(NAME ${name}
        COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${CMAKE_CURRENT_SOURCE_DIR}/fuzz
                -DBUILD_DIR=${CMAKE_BINARY_DIR}/fuzz-build -DFUZZER=${fuzzer} -DSEEDS=${seeds}
                -DSECONDS=20 ${ARGN} -P ${CMAKE_CURRENT_SOURCE_DIR}/fuzz/runfuzz.cmake)
    set_tests_properties(${name} PROPERTIES TIMEOUT 300 SKIP_REGULAR_EXPRESSION "SKIP:"
                                            RESOURCE_LOCK fuzz-build)
endfunction()

pq_add_fuzz_test(xls_fuzz_decode fuzz_decodexls seeds/xls)
pq_add_fuzz_test(gedcom_fuzz_read fuzz_gedcom seeds/gedcom -DDICT=gedcom.dict -DMAX_LEN=8192)
