// Test only: opens the shell's Eval to the end-to-end test and gives it real input devices, with
// the few calls it makes through Eval kept here as global.e2e.
const {Clutter, GLib, Shell} = imports.gi;
const Main = imports.ui.main;

function init() {}

function enable() {
    global.context.unsafe_mode = true;
    const seat = Clutter.get_default_backend().get_default_seat();
    const pointer = seat.create_virtual_device(Clutter.InputDeviceType.POINTER_DEVICE);
    const keyboard = seat.create_virtual_device(Clutter.InputDeviceType.KEYBOARD_DEVICE);
    const now = () => GLib.get_monotonic_time();
    const centre = actor => {
        const [x, y] = actor.get_transformed_position();
        const [w, h] = actor.get_transformed_size();
        return [x + w / 2, y + h / 2];
    };
    global.e2e = {
        item: () => Object.entries(Main.panel.statusArea)
            .find(([key]) => key.startsWith('appindicator'))?.[1] ?? null,
        // The item texts, those that cannot be chosen in parentheses.
        menu: () => global.e2e.item().menu._getMenuItems()
            .map(item => item.sensitive ? item.label.text : `(${item.label?.text ?? ''})`),
        click([x, y], button = Clutter.BUTTON_PRIMARY, times = 1) {
            pointer.notify_absolute_motion(now(), x, y);
            for (let i = 0; i < times; i++) {
                pointer.notify_button(now(), button, Clutter.ButtonState.PRESSED);
                pointer.notify_button(now(), button, Clutter.ButtonState.RELEASED);
            }
        },
        clickIcon: (button, times) => global.e2e.click(centre(global.e2e.item()), button, times),
        choose: text => global.e2e.click(centre(global.e2e.item().menu._getMenuItems()
            .find(item => item.label?.text === text))),
        key(keyval) {
            keyboard.notify_keyval(now(), keyval, Clutter.KeyState.PRESSED);
            keyboard.notify_keyval(now(), keyval, Clutter.KeyState.RELEASED);
        },
        windows: () => global.get_window_actors().map(actor => actor.meta_window).map(w => {
            const r = w.get_frame_rect();
            const app = Shell.WindowTracker.get_default().get_window_app(w);
            return {title: w.get_title(), x: r.x, y: r.y, w: r.width, h: r.height,
                focus: w.has_focus(), app: app ? app.get_id() : null};
        }),
    };
}

function disable() {
    delete global.e2e;
}
