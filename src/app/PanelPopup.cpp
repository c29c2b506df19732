#include "PanelPopup.h"

#include "PopupPlacement.h"

#include <QGuiApplication>
#include <QLayout>
#include <QScreen>

PanelPopup::PanelPopup(QWidget *content) : PanelFrame(content, Qt::Popup | Qt::FramelessWindowHint)
{
}

void PanelPopup::showAt(const QRect &anchor)
{
    m_anchor = anchor;
    layout()->activate();
    place();
    show();
    raise();
}

void PanelPopup::place()
{
    QScreen *screen = QGuiApplication::screenAt(m_anchor.center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    move(popupPosition(m_anchor, size(), screen->availableGeometry()));
}

void PanelPopup::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    // The notice or the preview line came or went while open: stay beside the icon, on screen.
    if (isVisible())
        place();
}
