#include "PanelWindow.h"

#include <QKeyEvent>
#include <QLayout>
#include <QTimer>
#include <QWindow>

PanelWindow::PanelWindow(QWidget *content)
    // A tool window is one that desktops which honour the hint keep out of the taskbar.
    : PanelFrame(content, Qt::Tool | Qt::FramelessWindowHint)
{
}

void PanelWindow::showAt(const QRect &)
{
    layout()->activate();
    show();
    raise();
}

void PanelWindow::changeEvent(QEvent *event)
{
    PanelFrame::changeEvent(event);
    // Focus passing between two windows of ours can go through a moment with none active: look
    // again once the events that belong to the same move have arrived.
    if (event->type() == QEvent::ActivationChange && isVisible())
        QTimer::singleShot(0, this, &PanelWindow::hideUnlessActive);
}

void PanelWindow::hideUnlessActive()
{
    // QWindow::isActive() counts the windows that stand over this one (the pickers' lists, the
    // folder chooser) as this one.
    const QWindow *window = windowHandle();
    if (isVisible() && window && !window->isActive())
        hide();
}

void PanelWindow::keyPressEvent(QKeyEvent *event)
{
    if (event->matches(QKeySequence::Cancel)) {
        event->accept();
        hide();
        return;
    }
    PanelFrame::keyPressEvent(event);
}
