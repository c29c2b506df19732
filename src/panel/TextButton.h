#pragma once

#include <QAbstractButton>
#include <QAccessible>

#include <optional>

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

    /** What a screen reader calls it: a button (the default), or a link to a web page. */
    void setAccessibleRole(QAccessible::Role role) { m_role = role; }
    QAccessible::Role accessibleRole() const { return m_role; }
    /** Makes it the switch of something it shows and hides, told to screen readers. */
    void setExpanded(bool expanded);
    std::optional<bool> expanded() const { return m_expanded; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    bool m_link = false;
    bool m_hovered = false;
    QAccessible::Role m_role = QAccessible::Button;
    std::optional<bool> m_expanded;
};
