#pragma once

#include <QWidget>

/**
 * One line of text that, when the room is too short, keeps its start and its end and puts an
 * ellipsis in the middle. The full text is the tooltip, and the description a screen reader
 * reads after the accessible name.
 */
class ElidedLabel : public QWidget
{
    Q_OBJECT

public:
    explicit ElidedLabel(QWidget *parent = nullptr);

    void setText(const QString &text);
    QString text() const { return m_text; }
    /** What is drawn at the current width. */
    QString shownText() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_text;
};
