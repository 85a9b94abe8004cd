# Independent checks of the .xls writer: python3-xlrd reads a sample chart, and a short
# libFuzzer run over the reader in its own clang build.

add_executable(writesamplechart tools/writesamplechart.cpp support/samplechart.cpp)
target_include_directories(writesamplechart PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(writesamplechart PRIVATE pq_spreadsheet)

# Debian's interpreter carries python3-xlrd; a user-level python3 earlier on PATH may not.
find_program(PQ_SYSTEM_PYTHON3 python3 PATHS /usr/bin NO_DEFAULT_PATH)
if(NOT PQ_SYSTEM_PYTHON3)
    find_program(PQ_SYSTEM_PYTHON3 python3)
endif()

add_test(NAME xls_xlrd_reads_sample_chart
    COMMAND ${PQ_SYSTEM_PYTHON3} ${CMAKE_CURRENT_SOURCE_DIR}/scripts/check_xls_xlrd.py
            $<TARGET_FILE:writesamplechart> ${CMAKE_CURRENT_BINARY_DIR}/xlrd-check)
set_tests_properties(xls_xlrd_reads_sample_chart PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 60)
