quillbrook_add_test(NAME tst_paneltext SOURCES tst_paneltext.cpp LIBS quillbrook_panel)
quillbrook_add_test(NAME tst_panelmodel SOURCES tst_panelmodel.cpp GUI)
quillbrook_add_test(NAME tst_contentview SOURCES tst_contentview.cpp GUI)
quillbrook_add_test(NAME tst_tray SOURCES tst_tray.cpp LIBS quillbrook_panel)
