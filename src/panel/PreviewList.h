#pragma once

#include "PanelModel.h"

#include <QList>
#include <QTreeWidget>

/**
 * The entries of a preview: name, age and the date that decided, one row each, the full path as
 * each row's tooltip. As wide as the room it is given and never wider (a long name keeps what
 * tells it apart from the others); as tall as its rows up to about eight, then it scrolls.
 */
class PreviewList : public QTreeWidget
{
    Q_OBJECT

public:
    static constexpr int visibleRows = 8;

    explicit PreviewList(QWidget *parent = nullptr);

    void setRows(const QList<PreviewRow> &rows);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void changeEvent(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void fitHeight();
    void shortenNames();

    QList<PreviewRow> m_rows;
};
