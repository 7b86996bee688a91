#include "ui/listmodel.h"

#include "ui/artwork.h"

namespace plumtide
{

TListModel::TListModel(QStringList columnCaptions, QObject* parent)
    : QAbstractTableModel(parent)
    , m_captions(std::move(columnCaptions))
{
}

QString TListModel::text(int index, int column) const
{
    const TListRow& r = row(index);
    if (column == 0)
        return r.caption;
    return r.subItems.value(column - 1);
}

int TListModel::add(TListRow row)
{
    m_rows.push_back(std::move(row));
    if (m_updateDepth == 0)
        flushPending();
    return count() - 1;
}

int TListModel::add(const QString& caption, const QStringList& subItems, int imageIndex)
{
    return add(TListRow { caption, subItems, imageIndex });
}

void TListModel::append(std::vector<TListRow> rows)
{
    if (m_rows.empty() && m_updateDepth == 0)
        m_rows.reserve(rows.size());
    m_rows.insert(
        m_rows.end(), std::make_move_iterator(rows.begin()), std::make_move_iterator(rows.end()));
    if (m_updateDepth == 0)
        flushPending();
}

void TListModel::remove(int index)
{
    if (index < 0 || index >= count())
        return;
    flushPending();
    beginRemoveRows(QModelIndex(), index, index);
    m_rows.erase(m_rows.begin() + index);
    m_announced = count();
    endRemoveRows();
}

void TListModel::clear()
{
    beginResetModel();
    m_rows.clear();
    m_rows.shrink_to_fit();
    m_announced = 0;
    endResetModel();
}

void TListModel::beginUpdate()
{
    ++m_updateDepth;
}

void TListModel::endUpdate()
{
    if (m_updateDepth > 0 && --m_updateDepth == 0)
        flushPending();
}

void TListModel::flushPending()
{
    if (m_announced == count())
        return;
    // The rows are already stored: the views are told about them in one step.
    beginInsertRows(QModelIndex(), m_announced, count() - 1);
    m_announced = count();
    endInsertRows();
}

int TListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_announced;
}

int TListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_captions.size());
}

QVariant TListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_announced)
        return QVariant();
    if (role == Qt::DisplayRole)
        return text(index.row(), index.column());
    if (role == Qt::DecorationRole && index.column() == 0 && m_images) {
        const QIcon icon = m_images->icon(row(index.row()).imageIndex);
        if (!icon.isNull())
            return icon;
    }
    return QVariant();
}

QVariant TListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return m_captions.value(section);
    return QVariant();
}

Qt::ItemFlags TListModel::flags(const QModelIndex& index) const
{
    // Selectable, never editable: captions are not edited in place.
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren
                           : Qt::NoItemFlags;
}

} // namespace plumtide
