# The panel, also over the X11 popup, and the tray, which live in the app library.
quillbrook_add_test(NAME tst_panelmodel SOURCES tst_panelmodel.cpp LIBS quillbrook_app GUI)
add_dependencies(tst_panelmodel quillbrook) # a run in another process
quillbrook_add_test(NAME tst_paneltext SOURCES tst_paneltext.cpp LIBS quillbrook_panel
    ENVIRONMENT TZ=UTC)
# Every text of the program in the German catalogue, every plural in the English one.
add_test(NAME translations_complete
    COMMAND python3 ${CMAKE_CURRENT_SOURCE_DIR}/check_translations.py $<TARGET_FILE:Qt6::lupdate>
        ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/translations)
