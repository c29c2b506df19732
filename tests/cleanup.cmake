quillbrook_add_test(NAME tst_filesystem SOURCES tst_filesystem.cpp)
quillbrook_add_test(NAME tst_trash SOURCES tst_trash.cpp)
