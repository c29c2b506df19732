/* Real input for KWin through its fake-input protocol, which KWin offers only to a program that
 * a desktop entry names with X-KDE-Wayland-Interfaces=org_kde_kwin_fake_input. The arguments are
 * actions, done in order:
 *   click X Y left|right   the pointer to X,Y, a moment's rest, then a press and a release
 *   key CODE               a press and a release of a Linux key code (1 is Escape)
 * A press straight after a move can reach the surface the pointer left, as no hand is so quick.
 * Exits 1 when the compositor does not offer the protocol to this program. */
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

static const struct wl_registry_listener listener = {announce, withdraw};

static void pause_ms(int ms)
{
    wl_display_roundtrip(display);
    usleep(ms * 1000);
}

static void click(int x, int y, uint32_t button)
{
    org_kde_kwin_fake_input_pointer_motion_absolute(input, wl_fixed_from_int(x),
                                                    wl_fixed_from_int(y));
    pause_ms(100);
    org_kde_kwin_fake_input_button(input, button, WL_POINTER_BUTTON_STATE_PRESSED);
    pause_ms(30);
    org_kde_kwin_fake_input_button(input, button, WL_POINTER_BUTTON_STATE_RELEASED);
}

int main(int argc, char **argv)
{
    display = wl_display_connect(NULL);
    if (display) {
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
            click(atoi(argv[i + 1]), atoi(argv[i + 2]),
                  strcmp(argv[i + 3], "right") == 0 ? BTN_RIGHT : BTN_LEFT);
            i += 3;
        } else if (strcmp(argv[i], "key") == 0 && i + 1 < argc) {
            const uint32_t key = (uint32_t)atoi(argv[++i]);
            org_kde_kwin_fake_input_keyboard_key(input, key, WL_KEYBOARD_KEY_STATE_PRESSED);
            pause_ms(30);
            org_kde_kwin_fake_input_keyboard_key(input, key, WL_KEYBOARD_KEY_STATE_RELEASED);
        } else {
            fprintf(stderr, "fake input: cannot read '%s'\n", argv[i]);
            return 2;
        }
    }
    return wl_display_roundtrip(display) < 0;
}
