# The main window end to end, on a virtual X server (Xvfb) driven by xdotool; skipped
# (exit 77) where those are not installed.
add_test(NAME form1_e2e
    COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/../e2e/form1_e2e.sh $<TARGET_FILE:pedigrafa>)
set_tests_properties(form1_e2e PROPERTIES TIMEOUT 300 LABELS e2e SKIP_RETURN_CODE 77)
