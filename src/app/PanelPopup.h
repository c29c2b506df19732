#pragma once

#include "PanelFrame.h"

#include "panel/PanelModel.h"

/**
 * The panel on X11: a popup under the tray icon. It closes on any click outside it
 * (Qt::Popup) and stays next to its icon and on screen when the panel grows or shrinks.
 */
class PanelPopup : public PanelFrame
{
    Q_OBJECT

public:
    explicit PanelPopup(QWidget *content);

    void showAt(const QRect &anchor) override;

    /**
     * @p chooser made to open with the panel out of its way, and to show the panel again where
     * it was once the user has chosen or cancelled.
     */
    PanelModel::FolderChooser steppingAsideFor(PanelModel::FolderChooser chooser);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void place();

    QRect m_anchor;
};
