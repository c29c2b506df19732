#include "PanelPresentation.h"

PanelPresentation panelPresentation(const QString &platformName, const QString &sessionType,
                                    const QString &waylandDisplay)
{
    if (platformName.startsWith(QLatin1String("wayland")))
        return PanelPresentation::CompositorPlacedWindow;
    const bool waylandSession =
        sessionType.compare(QLatin1String("wayland"), Qt::CaseInsensitive) == 0 ||
        !waylandDisplay.isEmpty();
    if (platformName == QLatin1String("xcb") && waylandSession)
        return PanelPresentation::CompositorPlacedWindow;
    return PanelPresentation::PopupUnderIcon;
}
