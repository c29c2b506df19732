#pragma once

#include <QAbstractButton>

/**
 * An on/off control in switch style: its label at the leading edge, a sliding knob at the
 * trailing edge. clicked(bool) reports the user's flips; setChecked() from code reports none.
 */
class ToggleSwitch : public QAbstractButton
{
    Q_OBJECT

public:
    explicit ToggleSwitch(const QString &text, QWidget *parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    bool hitButton(const QPoint &pos) const override;

private:
    QRect trackRect() const;
};
