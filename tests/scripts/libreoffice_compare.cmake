add_test(NAME picture.agrees_with_libreoffice
         COMMAND ${PROJECT_SOURCE_DIR}/tests/cli/compare_with_libreoffice.sh
                 $<TARGET_FILE:pedigrafa-cli> ${PROJECT_SOURCE_DIR}/tools/compare_with_libreoffice.py)
set_tests_properties(picture.agrees_with_libreoffice PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 180 LABELS libreoffice SKIP_RETURN_CODE 77)
# make_gedcom comes with the benchmarks.
if(PQ_BUILD_BENCH)
    add_test(NAME cli.gedcom_opens_in_libreoffice
             COMMAND ${PROJECT_SOURCE_DIR}/tests/cli/gedcom_libreoffice.sh
                     $<TARGET_FILE:pedigrafa-cli> $<TARGET_FILE:make_gedcom>)
    set_tests_properties(cli.gedcom_opens_in_libreoffice PROPERTIES
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 300 LABELS libreoffice
        SKIP_RETURN_CODE 77)
endif()
add_test(NAME workbook.prints_in_libreoffice
         COMMAND ${PROJECT_SOURCE_DIR}/tests/cli/libreoffice_print.sh $<TARGET_FILE:pedigrafa-cli>)
set_tests_properties(workbook.prints_in_libreoffice PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 180 LABELS libreoffice SKIP_RETURN_CODE 77)
