#pragma once

#include <QComboBox>

/**
 * A drop-down choice that a screen reader names by what it chooses (its accessible name, such
 * as "Frequency"), with the chosen entry as its value. Qt's own interface names a drop-down by
 * its current entry on Linux. Escape in its open list closes the list only.
 */
class Picker : public QComboBox
{
    Q_OBJECT

public:
    explicit Picker(QWidget *parent = nullptr);

    void hidePopup() override;

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    bool m_listJustClosed = false;
};
