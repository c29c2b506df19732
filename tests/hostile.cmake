# Faults, load and hostile input. The kill and store tests drive the built executable.
quillbrook_add_test(NAME tst_kill SOURCES tst_kill.cpp)
add_dependencies(tst_kill quillbrook)
quillbrook_add_test(NAME tst_store SOURCES tst_store.cpp)
add_dependencies(tst_store quillbrook)
quillbrook_add_test(NAME tst_hostile SOURCES tst_hostile.cpp)
set_tests_properties(tst_kill tst_store tst_hostile PROPERTIES TIMEOUT 300)
