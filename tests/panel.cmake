quillbrook_add_test(NAME tst_panelmodel SOURCES tst_panelmodel.cpp GUI)
quillbrook_add_test(NAME tst_tray SOURCES tst_tray.cpp GUI)
