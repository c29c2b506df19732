# The app on real desktops, one end-to-end script per desktop kind, sharing e2e/session.sh; each
# exits 77 (skipped) where its desktop cannot run.
# e2e_test(<desktop> <script arguments after the app and the output folder...>)
function(e2e_test desktop)
    add_test(NAME ${desktop}_e2e
        COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/e2e/${desktop}_e2e.sh
            $<TARGET_FILE:quillbrook> ${CMAKE_BINARY_DIR}/${desktop}-e2e ${ARGN})
    set_tests_properties(${desktop}_e2e PROPERTIES TIMEOUT 120 SKIP_RETURN_CODE 77)
endfunction()

# X11 with an XEmbed tray, also read through the accessibility bus as a screen reader reads it.
e2e_test(x11)

# Headless compositors have no input devices: two small clients give them some, through wlroots'
# virtual pointer (sway) and KWin's fake input. Without the Wayland client library or its code
# generator the Wayland tests skip, and nothing else is missing.
find_package(PkgConfig QUIET)
find_program(WAYLAND_SCANNER wayland-scanner)
if(PKG_CONFIG_FOUND AND WAYLAND_SCANNER)
    pkg_check_modules(WAYLAND_CLIENT QUIET IMPORTED_TARGET wayland-client)
endif()
if(WAYLAND_CLIENT_FOUND)
    enable_language(C)
endif()
find_package(PlasmaWaylandProtocols QUIET)
# wayland_client(<target> <source> <protocol xml>): sets <target>_path to the built client.
function(wayland_client target source protocol)
    if(NOT WAYLAND_CLIENT_FOUND OR NOT EXISTS ${protocol})
        return()
    endif()
    get_filename_component(name ${protocol} NAME_WE)
    set(generated ${CMAKE_CURRENT_BINARY_DIR}/${name})
    add_custom_command(OUTPUT ${generated}-client.h ${generated}-protocol.c
        COMMAND ${WAYLAND_SCANNER} client-header ${protocol} ${generated}-client.h
        COMMAND ${WAYLAND_SCANNER} private-code ${protocol} ${generated}-protocol.c
        DEPENDS ${protocol})
    add_executable(${target} ${source} ${generated}-protocol.c ${generated}-client.h)
    target_include_directories(${target} PRIVATE ${CMAKE_CURRENT_BINARY_DIR})
    target_link_libraries(${target} PRIVATE PkgConfig::WAYLAND_CLIENT)
    set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
    set(${target}_path $<TARGET_FILE:${target}> PARENT_SCOPE)
endfunction()
wayland_client(quillbrook_virtual_pointer e2e/VirtualPointer.c
    ${CMAKE_CURRENT_SOURCE_DIR}/e2e/virtual-pointer-v1.xml)
wayland_client(quillbrook_fake_input e2e/FakeInput.c
    "${PLASMA_WAYLAND_PROTOCOLS_DIR}/fake-input.xml")

e2e_test(wayland "${quillbrook_virtual_pointer_path}")
# The two big shells, each started headless; one at a time, as each wants both cores to start.
e2e_test(gnome)
e2e_test(kde "${quillbrook_fake_input_path}")
set_tests_properties(gnome_e2e kde_e2e PROPERTIES RESOURCE_LOCK desktop_shell)
