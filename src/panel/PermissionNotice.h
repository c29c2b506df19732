#pragma once

#include <QWidget>

class QLabel;
class QPushButton;

/**
 * The warning box shown while the source folder could not be listed: a faint orange box with
 * rounded corners, a title, an explanation that wraps over as many lines as it needs, and a
 * button that opens the folder, or its nearest existing parent, in the file manager.
 */
class PermissionNotice : public QWidget
{
    Q_OBJECT

public:
    explicit PermissionNotice(QWidget *parent = nullptr);

signals:
    void openInFileManagerClicked();

protected:
    void changeEvent(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void restyle();

    QLabel *m_icon;
    QLabel *m_title;
    QLabel *m_explanation;
    QPushButton *m_button;
};
