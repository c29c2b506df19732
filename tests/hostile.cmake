# Faults, load and hostile input. The kill test drives the built executable.
quillbrook_add_test(NAME tst_kill SOURCES tst_kill.cpp)
add_dependencies(tst_kill quillbrook)
quillbrook_add_test(NAME tst_hostile SOURCES tst_hostile.cpp)
set_tests_properties(tst_kill tst_hostile PROPERTIES TIMEOUT 300)
