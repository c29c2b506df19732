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

# Headless compositors have no input devices: a small client gives them some, through wlroots'
# virtual pointer (sway) or KWin's fake input. Without the Wayland client library, its code
# generator or Plasma's protocols the Wayland tests skip, and nothing else is missing.
find_package(PkgConfig QUIET)
find_program(WAYLAND_SCANNER wayland-scanner)
find_package(PlasmaWaylandProtocols QUIET)
if(PKG_CONFIG_FOUND AND WAYLAND_SCANNER AND EXISTS "${PLASMA_WAYLAND_PROTOCOLS_DIR}/fake-input.xml")
    pkg_check_modules(WAYLAND_CLIENT QUIET IMPORTED_TARGET wayland-client)
endif()
if(WAYLAND_CLIENT_FOUND)
    enable_language(C)
    set(input_sources e2e/WaylandInput.c)
    foreach(protocol ${CMAKE_CURRENT_SOURCE_DIR}/e2e/virtual-pointer-v1.xml
            ${PLASMA_WAYLAND_PROTOCOLS_DIR}/fake-input.xml)
        get_filename_component(name ${protocol} NAME_WE)
        set(generated ${CMAKE_CURRENT_BINARY_DIR}/${name})
        add_custom_command(OUTPUT ${generated}-client.h ${generated}-protocol.c
            COMMAND ${WAYLAND_SCANNER} client-header ${protocol} ${generated}-client.h
            COMMAND ${WAYLAND_SCANNER} private-code ${protocol} ${generated}-protocol.c
            DEPENDS ${protocol})
        list(APPEND input_sources ${generated}-client.h ${generated}-protocol.c)
    endforeach()
    add_executable(quillbrook_wayland_input ${input_sources})
    target_include_directories(quillbrook_wayland_input PRIVATE ${CMAKE_CURRENT_BINARY_DIR})
    target_link_libraries(quillbrook_wayland_input PRIVATE PkgConfig::WAYLAND_CLIENT)
    set(input_client $<TARGET_FILE:quillbrook_wayland_input>)
endif()

e2e_test(wayland "${input_client}")
# The two big shells, each started headless; one at a time, as each wants both cores to start.
e2e_test(gnome)
e2e_test(kde "${input_client}")
set_tests_properties(gnome_e2e kde_e2e PROPERTIES RESOURCE_LOCK desktop_shell)
