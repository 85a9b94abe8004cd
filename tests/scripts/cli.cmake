add_test(NAME cli.end_to_end
         COMMAND ${PROJECT_SOURCE_DIR}/tests/cli/cli_test.sh $<TARGET_FILE:pedigrafa-cli>)
set_tests_properties(cli.end_to_end PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 120)
# The same on a full disk; skipped (77) where a small tmpfs cannot be mounted.
add_test(NAME cli.full_disk
         COMMAND ${PROJECT_SOURCE_DIR}/tests/cli/cli_full_disk.sh $<TARGET_FILE:pedigrafa-cli>)
set_tests_properties(cli.full_disk PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 120
                     SKIP_RETURN_CODE 77)
add_test(NAME cli.gedcom
         COMMAND ${PROJECT_SOURCE_DIR}/tests/cli/cli_gedcom_test.sh $<TARGET_FILE:pedigrafa-cli>)
set_tests_properties(cli.gedcom PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 120)
# Endless or hostile input, too little memory, signals, an output failing after others could.
add_test(NAME cli.careful
         COMMAND ${PROJECT_SOURCE_DIR}/tests/cli/cli_careful_test.sh $<TARGET_FILE:pedigrafa-cli>)
set_tests_properties(cli.careful PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 300)
# Links planted by another user, as root and as another user; skipped (77) without root.
add_test(NAME cli.links_another_user
         COMMAND ${PROJECT_SOURCE_DIR}/tests/cli/cli_links_test.sh $<TARGET_FILE:pedigrafa-cli>)
set_tests_properties(cli.links_another_user PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen"
                     TIMEOUT 120 SKIP_RETURN_CODE 77)
add_test(NAME cli.gedcom_corpus
         COMMAND ${PROJECT_SOURCE_DIR}/tests/cli/gedcom_corpus.sh $<TARGET_FILE:pedigrafa-cli>)
set_tests_properties(cli.gedcom_corpus PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen"
                     TIMEOUT 120)
