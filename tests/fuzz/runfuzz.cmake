# Builds one fuzzer with clang in its own build tree and runs it for a bounded time over its
# seed corpus:
#   cmake -DSOURCE_DIR=tests/fuzz -DBUILD_DIR=... -DFUZZER=fuzz_gedcom -DSEEDS=seeds/gedcom
#         [-DDICT=gedcom.dict] [-DMAX_LEN=16384] [-DSECONDS=20] -P runfuzz.cmake
# Prints "SKIP:" when clang is missing; any other trouble fails.
find_program(CLANGXX NAMES clang++-14 clang++)
if(NOT CLANGXX)
    message("SKIP: clang++ is not installed")
    return()
endif()
if(NOT SECONDS)
    set(SECONDS 20)
endif()
if(NOT MAX_LEN)
    set(MAX_LEN 16384)
endif()
set(extra)
if(DICT)
    list(APPEND extra -dict=${SOURCE_DIR}/${DICT})
endif()

execute_process(
    COMMAND ${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${BUILD_DIR} -DCMAKE_CXX_COMPILER=${CLANGXX}
            -DCMAKE_BUILD_TYPE=RelWithDebInfo
    RESULT_VARIABLE configured OUTPUT_VARIABLE log ERROR_VARIABLE log)
if(NOT configured EQUAL 0)
    message(FATAL_ERROR "the clang fuzzer build could not be configured:\n${log}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build ${BUILD_DIR} -j2 --target ${FUZZER}
                RESULT_VARIABLE built OUTPUT_VARIABLE log ERROR_VARIABLE log)
if(NOT built EQUAL 0)
    message(FATAL_ERROR "fuzzer build failed:\n${log}")
endif()

# New inputs go to a scratch corpus; the committed seeds stay as they are.
set(corpus ${BUILD_DIR}/corpus-${FUZZER})
file(MAKE_DIRECTORY ${corpus} ${BUILD_DIR}/findings)
execute_process(
    COMMAND ${BUILD_DIR}/${FUZZER} -max_total_time=${SECONDS} -timeout=10
            -rss_limit_mb=2048 -max_len=${MAX_LEN} -print_final_stats=1 ${extra}
            -artifact_prefix=${BUILD_DIR}/findings/${FUZZER}- ${corpus} ${SOURCE_DIR}/${SEEDS}
    RESULT_VARIABLE fuzzed OUTPUT_VARIABLE out ERROR_VARIABLE out)
string(REGEX MATCH "stat::number_of_executed_units: *[0-9]+" runs "${out}")
if(NOT fuzzed EQUAL 0)
    message(FATAL_ERROR "the fuzzer found a problem (inputs in ${BUILD_DIR}/findings):\n${out}")
endif()
message("${FUZZER} clean after ${SECONDS} s (${runs})")
