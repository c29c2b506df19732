#pragma once

#include <QAbstractButton>

/**
 * A borderless button: its text alone, no bezel, no padding, so that it lines up with the text
 * around it. Dims while pressed; underlined on hover when it stands for a link.
 */
class TextButton : public QAbstractButton
{
    Q_OBJECT

public:
    explicit TextButton(const QString &text, QWidget *parent = nullptr);

    /** Pointing-hand cursor and an underline on hover. */
    void setLinkLook(bool link);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    bool m_link = false;
    bool m_hovered = false;
};
