/* Real input for KWin through its fake-input protocol, which KWin offers only to a program that
 * a desktop entry names with X-KDE-Wayland-Interfaces=org_kde_kwin_fake_input. Actions, in order:
 *   click X Y left|right   the pointer to X,Y, a moment's rest, then a press and a release
 *   key CODE               a press and a release of a Linux key code (1 is Escape)
 * A press straight after a move may reach the surface the pointer has left. */
#include "fake-input-client.h"

#include <linux/input-event-codes.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>
#include <wayland-client.h>

static struct wl_display *display;
static struct org_kde_kwin_fake_input *input;

static void announce(void *data, struct wl_registry *registry, uint32_t name, const char *interface,
                     uint32_t version)
{
    (void)data, (void)version;
    if (strcmp(interface, org_kde_kwin_fake_input_interface.name) == 0)
        input = wl_registry_bind(registry, name, &org_kde_kwin_fake_input_interface, 4);
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

int main(int argc, char **argv)
{
    static const struct wl_registry_listener listener = {announce, withdraw};
    if ((display = wl_display_connect(NULL))) {
        wl_registry_add_listener(wl_display_get_registry(display), &listener, NULL);
        wl_display_roundtrip(display);
    }
    if (!input) {
        fprintf(stderr, "fake input: the compositor does not offer org_kde_kwin_fake_input\n");
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
            fprintf(stderr, "fake input: cannot read '%s'\n", argv[i]);
            return 2;
        }
    }
    return wl_display_roundtrip(display) < 0;
}
