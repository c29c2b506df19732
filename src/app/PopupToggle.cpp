#include "PopupToggle.h"

#include "cleanup/Clock.h"

PopupToggle::PopupToggle(const Clock &clock) : m_clock(clock) {}

void PopupToggle::noteHidden()
{
    m_hiddenAt = m_clock.now();
}

PopupToggle::Action PopupToggle::onActivated(bool popupShown)
{
    if (popupShown)
        return Action::Hide;
    const double sinceHidden = m_clock.now() - m_hiddenAt;
    if (sinceHidden >= 0 && sinceHidden < closeWindowSeconds)
        return Action::Nothing;
    return Action::Show;
}
