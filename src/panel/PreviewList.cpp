#include "PreviewList.h"

#include <QEvent>
#include <QHeaderView>
#include <QStyle>

#include <algorithm>

namespace {

// How many characters all @p names share at their start; 0 for fewer than two names.
qsizetype sharedStart(const QStringList &names)
{
    qsizetype shared = names.size() < 2 ? 0 : names.first().size();
    for (const QString &name : names) {
        qsizetype i = 0;
        while (i < shared && i < name.size() && name.at(i) == names.first().at(i))
            ++i;
        shared = i;
    }
    return shared;
}

// @p name cut to @p room. Screenshot names differ near their end, in the date and time, which a
// cut in the middle loses. So a name too long drops the start it shares with all the others: back
// to a word ("…2026-12-01 10-15-30.png") where that fits, else back to the number it first
// differs in, losing its end rather than that. With no whole word shared (one name, or names of
// two tools that share only "Screenshot") it starts at its first digit, where tools put the date.
QString shortened(const QString &name, qsizetype shared, const QFontMetrics &metrics, int room)
{
    if (metrics.horizontalAdvance(name) <= room)
        return name;
    const auto startBefore = [&](const auto &isBreak) {
        qsizetype start = shared;
        while (start > 0 && !isBreak(name.at(start - 1)))
            --start;
        return start;
    };
    const qsizetype word = startBefore([](QChar c) { return c == u' ' || c == u'_'; });
    qsizetype start =
        std::find_if(name.begin(), name.end(), [](QChar c) { return c.isDigit(); }) - name.begin();
    if (word > 0) {
        const QString fromWord = QStringLiteral("\u2026") + name.mid(word);
        if (metrics.horizontalAdvance(fromWord) <= room)
            return fromWord;
        start = startBefore([](QChar c) { return !c.isLetterOrNumber(); });
    }
    if (start == name.size())
        start = 0;
    const QString dropped = start > 0 ? QStringLiteral("\u2026") : QString();
    return metrics.elidedText(dropped + name.mid(start), Qt::ElideRight, room);
}

} // namespace

PreviewList::PreviewList(QWidget *parent) : QTreeWidget(parent)
{
    setAccessibleName(tr("Screenshots to trash"));
    // Hidden, but what a screen reader reads for each cell.
    setHeaderLabels({tr("Name"), tr("Age"), tr("Date")});
    setHeaderHidden(true);
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    // The keyboard reaches every row; the current one is marked.
    setSelectionMode(QAbstractItemView::SingleSelection);
    setFocusPolicy(Qt::StrongFocus);
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
        for (int column = 0; column < columnCount(); ++column)
            item->setToolTip(column, row.path);
        items.append(item);
    }
    addTopLevelItems(items);
    fitHeight();
    shortenNames();
}

void PreviewList::shortenNames()
{
    QStringList names;
    for (const PreviewRow &row : std::as_const(m_rows))
        names.append(row.name);
    const qsizetype shared = sharedStart(names);
    // The room the header will give the first column, whose width it works out only later, less
    // what the item view keeps of it for margins.
    const int margin = style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1;
    const int room = viewport()->width() - sizeHintForColumn(1) - sizeHintForColumn(2) - 2 * margin;
    for (int i = 0; i < topLevelItemCount() && i < names.size(); ++i)
        topLevelItem(i)->setText(0, shortened(names.at(i), shared, fontMetrics(), room));
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
    if (event->type() == QEvent::FontChange) {
        fitHeight();
        shortenNames();
    }
}

void PreviewList::resizeEvent(QResizeEvent *event)
{
    QTreeWidget::resizeEvent(event);
    shortenNames();
}

void PreviewList::fitHeight()
{
    const int rows = std::clamp(topLevelItemCount(), 1, visibleRows);
    const int rowHeight = topLevelItemCount() > 0 ? sizeHintForRow(0) : fontMetrics().height() + 4;
    setFixedHeight(rows * rowHeight + 2 * frameWidth());
}
