#include "PreviewList.h"

#include <QEvent>
#include <QHeaderView>

PreviewList::PreviewList(QWidget *parent) : QTreeWidget(parent)
{
    setColumnCount(3);
    setHeaderHidden(true);
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::NoSelection);
    setFocusPolicy(Qt::NoFocus);
    setTextElideMode(Qt::ElideMiddle);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // The panel's column decides the width; a long name must never push it wider.
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    header()->setStretchLastSection(false);
    header()->setSectionResizeMode(0, QHeaderView::Stretch);
    header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    header()->setSectionResizeMode(2, QHeaderView::ResizeToContents);
    fitHeight();
}

void PreviewList::setRows(const QList<PreviewRow> &rows)
{
    // The panel redraws on every change of the settings; the rows change only with a preview.
    if (rows == m_rows)
        return;
    m_rows = rows;
    clear();
    QList<QTreeWidgetItem *> items;
    for (const PreviewRow &row : rows) {
        auto *item = new QTreeWidgetItem(QStringList{row.name, row.age, row.source});
        item->setToolTip(0, row.name);
        items.append(item);
    }
    addTopLevelItems(items);
    fitHeight();
}

QSize PreviewList::sizeHint() const
{
    return {0, height()};
}

QSize PreviewList::minimumSizeHint() const
{
    return sizeHint();
}

void PreviewList::changeEvent(QEvent *event)
{
    QTreeWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        fitHeight();
}

void PreviewList::fitHeight()
{
    const int rows = std::clamp(topLevelItemCount(), 1, visibleRows);
    const int rowHeight = topLevelItemCount() > 0 ? sizeHintForRow(0) : fontMetrics().height() + 4;
    setFixedHeight(rows * rowHeight + 2 * frameWidth());
}
