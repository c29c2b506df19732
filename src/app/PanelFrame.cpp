#include "PanelFrame.h"

#include "panel/PanelStyle.h"

#include <QPainter>
#include <QTimer>
#include <QVBoxLayout>

PanelFrame::PanelFrame(QWidget *content, Qt::WindowFlags flags) : QWidget(nullptr, flags)
{
    setWindowTitle(QStringLiteral("Quillbrook"));
    setAttribute(Qt::WA_ShowWithoutActivating, false);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    // A fixed size also tells tiling compositors to float the window rather than tile it.
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(content);
}

void PanelFrame::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // The panel's controls take the keyboard at once, without a click into the panel first.
    QTimer::singleShot(0, this, [this] {
        if (!isVisible())
            return;
        activateWindow();
        if (!focusWidget())
            focusNextChild();
    });
}

void PanelFrame::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    emit hidden();
}

void PanelFrame::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Window));
    painter.setPen(PanelStyle::separatorColor(palette()));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}
