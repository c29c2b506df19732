quillbrook_add_test(NAME tst_filesystem SOURCES tst_filesystem.cpp)
quillbrook_add_test(NAME tst_trash SOURCES tst_trash.cpp)
quillbrook_add_test(NAME tst_putback SOURCES tst_putback.cpp)
add_dependencies(tst_putback quillbrook)
