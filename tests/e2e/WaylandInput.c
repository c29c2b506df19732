/* Input for headless Wayland compositors, which have no devices of their own:
 *   hold                  a wlroots virtual pointer for sway's own cursor commands to click with;
 *                         prints READY and keeps it until the compositor goes away
 *   click X Y left|right  through KWin's fake input: a move, a rest (a press straight after a
 *                         move may reach the surface the pointer left), a press and a release
 *   key CODE              through KWin's fake input: a Linux key code (1 is Escape) pressed */
#include "fake-input-client.h"
#include "virtual-pointer-v1-client.h"

#include <linux/input-event-codes.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>
#include <wayland-client.h>

static struct wl_display *display;
static struct org_kde_kwin_fake_input *input;
static struct zwlr_virtual_pointer_manager_v1 *pointers;

static void announce(void *data, struct wl_registry *registry, uint32_t name, const char *interface,
                     uint32_t version)
{
    (void)data, (void)version;
    if (strcmp(interface, org_kde_kwin_fake_input_interface.name) == 0)
        input = wl_registry_bind(registry, name, &org_kde_kwin_fake_input_interface, 4);
    if (strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0)
        pointers = wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1);
}

static void withdraw(void *data, struct wl_registry *registry, uint32_t name)
{
    (void)data, (void)registry, (void)name;
}

static void rest(int ms)
{
    wl_display_roundtrip(display);
    usleep(ms * 1000);
}

static int hold(void)
{
    zwlr_virtual_pointer_manager_v1_create_virtual_pointer(pointers, NULL);
    wl_display_roundtrip(display);
    puts("READY");
    fflush(stdout);
    while (wl_display_dispatch(display) != -1)
        continue;
    return 0;
}

int main(int argc, char **argv)
{
    static const struct wl_registry_listener listener = {announce, withdraw};
    if ((display = wl_display_connect(NULL))) {
        wl_registry_add_listener(wl_display_get_registry(display), &listener, NULL);
        wl_display_roundtrip(display);
    }
    if (argc == 2 && strcmp(argv[1], "hold") == 0 && pointers)
        return hold();
    if (!input) {
        fprintf(stderr, "input: the compositor offers no input of the kind asked for\n");
        return 1;
    }
    org_kde_kwin_fake_input_authenticate(input, "quillbrook tests", "end-to-end test");
    for (int i = 1; i < argc; ++i) {
        if (strcmp(argv[i], "click") == 0 && i + 3 < argc) {
            const uint32_t button = strcmp(argv[i + 3], "right") == 0 ? BTN_RIGHT : BTN_LEFT;
            org_kde_kwin_fake_input_pointer_motion_absolute(
                input, wl_fixed_from_int(atoi(argv[i + 1])), wl_fixed_from_int(atoi(argv[i + 2])));
            rest(100);
            org_kde_kwin_fake_input_button(input, button, WL_POINTER_BUTTON_STATE_PRESSED);
            rest(30);
            org_kde_kwin_fake_input_button(input, button, WL_POINTER_BUTTON_STATE_RELEASED);
            i += 3;
        } else if (strcmp(argv[i], "key") == 0 && i + 1 < argc) {
            const uint32_t key = (uint32_t)atoi(argv[++i]);
            org_kde_kwin_fake_input_keyboard_key(input, key, WL_KEYBOARD_KEY_STATE_PRESSED);
            rest(30);
            org_kde_kwin_fake_input_keyboard_key(input, key, WL_KEYBOARD_KEY_STATE_RELEASED);
        } else {
            fprintf(stderr, "input: cannot read '%s'\n", argv[i]);
            return 2;
        }
    }
    return wl_display_roundtrip(display) < 0;
}
