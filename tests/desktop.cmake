# The app on real desktops, one end-to-end script per desktop kind. The scripts live in e2e/.
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
