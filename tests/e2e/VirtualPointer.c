/* Gives a headless wlroots compositor's seat a pointer device, so that its own cursor commands
 * (swaymsg seat seat0 cursor ...) can move and click. Prints READY once the device exists and
 * keeps it until the compositor goes away or the process is ended. */
#include "virtual-pointer-v1-client.h"

#include <stdio.h>
#include <string.h>
#include <wayland-client.h>

static struct zwlr_virtual_pointer_manager_v1 *manager;

static void announce(void *data, struct wl_registry *registry, uint32_t name, const char *interface,
                     uint32_t version)
{
    (void)data, (void)version;
    if (strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0)
        manager = wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1);
}

static void withdraw(void *data, struct wl_registry *registry, uint32_t name)
{
    (void)data, (void)registry, (void)name;
}

static const struct wl_registry_listener listener = {announce, withdraw};

int main(void)
{
    struct wl_display *display = wl_display_connect(NULL);
    if (display) {
        wl_registry_add_listener(wl_display_get_registry(display), &listener, NULL);
        wl_display_roundtrip(display);
    }
    if (!manager) {
        fprintf(stderr, "virtual pointer: no Wayland display that offers virtual pointers\n");
        return 1;
    }
    zwlr_virtual_pointer_manager_v1_create_virtual_pointer(manager, NULL);
    wl_display_roundtrip(display);
    puts("READY");
    fflush(stdout);
    while (wl_display_dispatch(display) != -1)
        continue;
    return 0;
}
