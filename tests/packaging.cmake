# How the app meets the desktop: the installed tree, the Debian package, and the tray on a real
# X server. The scripts live in e2e/.
set(QUILLBROOK_DATA_DIR ${PROJECT_SOURCE_DIR}/data)

add_test(NAME desktop_entry_valid
    COMMAND desktop-file-validate ${QUILLBROOK_DATA_DIR}/org.quillbrook.Quillbrook.desktop)
add_test(NAME appstream_metadata_valid
    COMMAND appstreamcli validate --no-net
        ${QUILLBROOK_DATA_DIR}/org.quillbrook.Quillbrook.metainfo.xml)

add_test(NAME install_tree
    COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/e2e/install_tree.sh ${CMAKE_BINARY_DIR})
add_test(NAME deb_package
    COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/e2e/deb_package.sh ${CMAKE_BINARY_DIR})
set_tests_properties(install_tree deb_package PROPERTIES TIMEOUT 300)

# Preloaded into the real app by the tray test to report its widgets; never installed.
add_library(quillbrook_ui_probe MODULE e2e/UiStateProbe.cpp)
target_link_libraries(quillbrook_ui_probe PRIVATE Qt6::Widgets)
set_target_properties(quillbrook_ui_probe PROPERTIES LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)

add_test(NAME tray_e2e
    COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/e2e/tray_e2e.sh
        $<TARGET_FILE:quillbrook> $<TARGET_FILE:quillbrook_ui_probe> ${CMAKE_BINARY_DIR}/tray-e2e)
set_tests_properties(tray_e2e PROPERTIES TIMEOUT 180 SKIP_RETURN_CODE 77)

# The same panel behind a StatusNotifierItem, as KDE, XFCE and GNOME's extension host it.
find_package(Qt6 6.4 REQUIRED COMPONENTS DBus)
add_executable(quillbrook_sni_watcher e2e/SniWatcher.cpp)
target_link_libraries(quillbrook_sni_watcher PRIVATE Qt6::DBus)
set_target_properties(quillbrook_sni_watcher PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)

add_test(NAME sni_e2e
    COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/e2e/sni_e2e.sh
        $<TARGET_FILE:quillbrook> $<TARGET_FILE:quillbrook_ui_probe>
        $<TARGET_FILE:quillbrook_sni_watcher> ${CMAKE_BINARY_DIR}/sni-e2e)
set_tests_properties(sni_e2e PROPERTIES TIMEOUT 120 SKIP_RETURN_CODE 77)
