#include "ui/listview.h"

#include <QHeaderView>
#include <QHelpEvent>
#include <QStyledItemDelegate>
#include <QToolTip>

namespace plumtide
{

namespace
{

class ElideAtEndDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        option->textElideMode = Qt::ElideRight;
    }
};

QStringList captionsOf(std::initializer_list<std::pair<const char*, int>> columns)
{
    QStringList captions;
    for (const auto& column : columns)
        captions.append(QString::fromUtf8(column.first));
    return captions;
}

} // namespace

TListView::TListView(std::initializer_list<std::pair<const char*, int>> columns,
    const TImageList* images, QWidget* parent)
    : QTreeView(parent)
    , m_items(new TListModel(captionsOf(columns), this))
{
    m_items->setImageList(images);
    setModel(m_items);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setAlternatingRowColors(true);
    setIconSize(QSize(16, 16));
    setTextElideMode(Qt::ElideMiddle);
    header()->setStretchLastSection(false);
    header()->setSectionsMovable(false);
    header()->setSectionResizeMode(QHeaderView::Interactive);
    header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    int section = 0;
    for (const auto& column : columns)
        setColumnWidth(section++, column.second);
}

int TListView::itemIndex() const
{
    const QModelIndexList rows = selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void TListView::setItemIndex(int index)
{
    if (index < 0 || index >= m_items->rowCount()) {
        clearSelection();
        return;
    }
    setCurrentIndex(m_items->index(index, 0));
}

void TListView::setColumnElidesAtEnd(int column)
{
    setItemDelegateForColumn(column, new ElideAtEndDelegate(this));
}

bool TListView::viewportEvent(QEvent* event)
{
    if (event->type() == QEvent::ToolTip && !toolTip().isEmpty()) {
        // A row that has a word of its own (a plan row's path or mark) says it instead.
        const auto* help = static_cast<QHelpEvent*>(event);
        const QString own = indexAt(help->pos()).data(Qt::ToolTipRole).toString();
        QToolTip::showText(help->globalPos(), own.isEmpty() ? toolTip() : own, this);
        return true;
    }
    return QTreeView::viewportEvent(event);
}

} // namespace plumtide
