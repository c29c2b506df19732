#pragma once

#include "PanelFrame.h"

#include <QString>

#include <optional>

class ContentView;

/**
 * The panel on X11: a popup under the tray icon. It closes on any click outside it
 * (Qt::Popup) and stays next to its icon and on screen when the panel grows or shrinks. Its
 * folder chooser opens with the panel out of the way and brings the panel back where it was.
 */
class PanelPopup : public PanelFrame
{
    Q_OBJECT

public:
    explicit PanelPopup(ContentView *content);

    void showAt(const QRect &anchor) override;

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void place();
    std::optional<QString> chooseFolder(const QString &startFolder);

    QRect m_anchor;
};
