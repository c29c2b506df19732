#pragma once

class Clock;

/**
 * Decides what a click on the tray icon does to the panel. A Qt::Popup closes itself on the
 * mouse press that lands outside it, the tray icon included, as the Wayland panel does when that
 * press takes the focus away, and the icon's activation arrives only afterwards: without a
 * memory of that close the click would reopen what it just closed.
 * A quick second click, which some trays report as a double click, follows the same rule.
 */
class PopupToggle
{
public:
    enum class Action
    {
        Show,
        Hide,
        Nothing
    };

    /** Activations this soon after the popup hid belong to the click that hid it. */
    static constexpr double closeWindowSeconds = 0.4;

    explicit PopupToggle(const Clock &clock);

    /** Call whenever the popup hides, for whatever reason. */
    void noteHidden();

    /** What an activation of the tray icon does, given whether the popup is shown now. */
    Action onActivated(bool popupShown);

private:
    const Clock &m_clock;
    double m_hiddenAt = -1e300;
};
