#pragma once

#include "PanelModel.h"

#include <QList>
#include <QTreeWidget>

/**
 * The entries of a preview: name, age and the date that decided, one row each. As wide as the
 * room it is given and never wider (long names lose their middle); as tall as its rows up to
 * about eight, then it scrolls.
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

private:
    void fitHeight();

    QList<PreviewRow> m_rows;
};
