# The panel over the X11 popup too, which lives in the app library.
quillbrook_add_test(NAME tst_panelmodel SOURCES tst_panelmodel.cpp LIBS quillbrook_app GUI)
quillbrook_add_test(NAME tst_paneltext SOURCES tst_paneltext.cpp LIBS quillbrook_panel
    ENVIRONMENT TZ=UTC)
quillbrook_add_test(NAME tst_tray SOURCES tst_tray.cpp LIBS quillbrook_app GUI)
