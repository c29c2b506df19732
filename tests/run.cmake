quillbrook_add_test(NAME tst_screenshotcleanup SOURCES tst_screenshotcleanup.cpp
    LIBS quillbrook_cleanup)
quillbrook_add_test(NAME tst_headless SOURCES tst_headless.cpp LIBS quillbrook_cleanup)
add_dependencies(tst_headless quillbrook)
set_tests_properties(tst_headless PROPERTIES TIMEOUT 300)
