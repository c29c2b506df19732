#include "PanelPopup.h"

#include "PopupPlacement.h"

#include "panel/PanelStyle.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

PanelPopup::PanelPopup(QWidget *content)
    : QWidget(nullptr, Qt::Popup | Qt::FramelessWindowHint), m_content(content)
{
    setWindowTitle(QStringLiteral("Quillbrook"));
    setAttribute(Qt::WA_ShowWithoutActivating, false);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(m_content);
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

void PanelPopup::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // The panel's controls take the keyboard at once, without a click into the popup first.
    QTimer::singleShot(0, this, [this] {
        if (!isVisible())
            return;
        activateWindow();
        if (!focusWidget())
            focusNextChild();
    });
}

void PanelPopup::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    emit hidden();
}

void PanelPopup::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    // The notice or the preview line came or went while open: stay beside the icon, on screen.
    if (isVisible())
        place();
}

void PanelPopup::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Window));
    painter.setPen(PanelStyle::separatorColor(palette()));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}
