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

PanelModel::FolderChooser PanelPopup::steppingAsideFor(PanelModel::FolderChooser chooser)
{
    // A popup closes at the first click into any other window, the chooser's included, and
    // while it is up no window counts as active that the chooser could stand over.
    return [this, chooser = std::move(chooser)](const QString &startFolder) {
        const bool shown = isVisible();
        hide();
        const std::optional<QString> chosen = chooser(startFolder);
        if (shown)
            showAt(m_anchor);
        return chosen;
    };
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
