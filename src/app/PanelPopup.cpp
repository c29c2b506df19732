#include "PanelPopup.h"

#include "PopupPlacement.h"

#include "panel/ContentView.h"
#include "panel/PanelModel.h"

#include <QGuiApplication>
#include <QLayout>
#include <QScreen>

PanelPopup::PanelPopup(ContentView *content)
    : PanelFrame(content, Qt::Popup | Qt::FramelessWindowHint)
{
    content->model().setFolderChooser(
        [this](const QString &startFolder) { return chooseFolder(startFolder); });
}

void PanelPopup::showAt(const QRect &anchor)
{
    m_anchor = anchor;
    layout()->activate();
    place();
    show();
    raise();
}

std::optional<QString> PanelPopup::chooseFolder(const QString &startFolder)
{
    // A popup closes at the first click into any other window, the chooser's included, and
    // while it is up no window counts as active that the chooser could stand over.
    const bool shown = isVisible();
    hide();
    const std::optional<QString> chosen = PanelModel::chooseWithDialog(startFolder);
    if (shown)
        showAt(m_anchor);
    return chosen;
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
