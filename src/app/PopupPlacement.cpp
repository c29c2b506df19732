#include "PopupPlacement.h"

#include <algorithm>

namespace {

// Room between the icon and the popup, as a menu leaves.
constexpr int anchorGap = 4;

int clampInto(int value, int low, int high)
{
    return high < low ? low : std::clamp(value, low, high);
}

} // namespace

QPoint popupPosition(const QRect &anchor, const QSize &popupSize, const QRect &screen)
{
    const int centreX = anchor.left() + anchor.width() / 2;
    const int x = clampInto(centreX - popupSize.width() / 2, screen.left(),
                            screen.right() + 1 - popupSize.width());

    const int below = anchor.top() + anchor.height() + anchorGap;
    const int above = anchor.top() - anchorGap - popupSize.height();
    int y = below;
    if (below + popupSize.height() > screen.bottom() + 1 && above >= screen.top())
        y = above;
    y = clampInto(y, screen.top(), screen.bottom() + 1 - popupSize.height());
    return {x, y};
}
