# The app on real desktops, one end-to-end script per desktop kind, sharing e2e/session.sh.
# The probe is preloaded into the real app to report its widgets; never installed.
add_library(quillbrook_ui_probe MODULE e2e/UiStateProbe.cpp)
target_link_libraries(quillbrook_ui_probe PRIVATE Qt6::Widgets)
set_target_properties(quillbrook_ui_probe PROPERTIES LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)

add_test(NAME x11_e2e
    COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/e2e/x11_e2e.sh
        $<TARGET_FILE:quillbrook> $<TARGET_FILE:quillbrook_ui_probe> ${CMAKE_BINARY_DIR}/x11-e2e)
set_tests_properties(x11_e2e PROPERTIES TIMEOUT 120 SKIP_RETURN_CODE 77)

# A headless compositor's seat has no pointer: this client gives it one. Without the Wayland
# client library or its code generator the Wayland test skips, and nothing else is missing.
find_package(PkgConfig QUIET)
find_program(WAYLAND_SCANNER wayland-scanner)
if(PKG_CONFIG_FOUND AND WAYLAND_SCANNER)
    pkg_check_modules(WAYLAND_CLIENT QUIET IMPORTED_TARGET wayland-client)
endif()
if(WAYLAND_CLIENT_FOUND)
    enable_language(C)
    set(protocol ${CMAKE_CURRENT_SOURCE_DIR}/e2e/virtual-pointer-v1.xml)
    set(generated ${CMAKE_CURRENT_BINARY_DIR}/virtual-pointer-v1)
    add_custom_command(OUTPUT ${generated}-client.h ${generated}-protocol.c
        COMMAND ${WAYLAND_SCANNER} client-header ${protocol} ${generated}-client.h
        COMMAND ${WAYLAND_SCANNER} private-code ${protocol} ${generated}-protocol.c
        DEPENDS ${protocol})
    add_executable(quillbrook_virtual_pointer e2e/VirtualPointer.c ${generated}-protocol.c ${generated}-client.h)
    target_include_directories(quillbrook_virtual_pointer PRIVATE ${CMAKE_CURRENT_BINARY_DIR})
    target_link_libraries(quillbrook_virtual_pointer PRIVATE PkgConfig::WAYLAND_CLIENT)
    set_target_properties(quillbrook_virtual_pointer PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
    set(virtual_pointer $<TARGET_FILE:quillbrook_virtual_pointer>)
endif()

add_test(NAME wayland_e2e
    COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/e2e/wayland_e2e.sh
        $<TARGET_FILE:quillbrook> ${CMAKE_BINARY_DIR}/wayland-e2e "${virtual_pointer}")
set_tests_properties(wayland_e2e PROPERTIES TIMEOUT 120 SKIP_RETURN_CODE 77)
