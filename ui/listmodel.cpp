#include "ui/listmodel.h"

#include "core/matching/carefulmatch.h"

#include "core/matching/artistmatch.h"
#include "platform/paths.h"
#include "ui/artwork.h"
#include "ui/planview.h"

#include <QApplication>
#include <QStyle>

#include <algorithm>
#include <cmath>

namespace plumtide
{

TPlanEntries::TPlanEntries(const TPlanEntries& other)
{
    *this = other;
}

TPlanEntries& TPlanEntries::operator=(const TPlanEntries& other)
{
    if (this != &other) {
        clear();
        for (size_t i = 0; i < other.size(); ++i)
            push_back(other[i]);
    }
    return *this;
}

void TPlanEntries::push_back(const TPlanEntry& entry)
{
    if (m_size == m_blocks.size() * kBlockRows)
        m_blocks.push_back(std::make_unique<Block>());
    (*m_blocks[m_size / kBlockRows])[m_size % kBlockRows] = entry;
    ++m_size;
}

void TPlanEntries::erase(size_t index)
{
    if (index >= m_size)
        return;
    for (size_t i = index; i + 1 < m_size; ++i)
        (*m_blocks[i / kBlockRows])[i % kBlockRows] = (*this)[i + 1];
    --m_size;
    if (m_blocks.size() * kBlockRows >= m_size + kBlockRows)
        m_blocks.pop_back();
}

void TPlanEntries::clear()
{
    m_blocks.clear();
    m_size = 0;
}

TListModel::TListModel(QStringList columnCaptions, QObject* parent)
    : QAbstractTableModel(parent)
    , m_columnCaptions(std::move(columnCaptions))
{
}

TListRow TListModel::row(int index) const
{
    TListRow result;
    result.caption = caption(index);
    for (int column = 1; column < m_columnCaptions.size(); ++column)
        result.subItems.append(text(index, column));
    result.imageIndex = imageOf(index);
    const size_t planRows = m_plan.size();
    if (static_cast<size_t>(index) < planRows)
        result.score = m_plan[static_cast<size_t>(index)].score;
    else
        result.kind = m_kinds.at(static_cast<size_t>(index) - planRows);
    return result;
}

QString TListModel::caption(int index) const
{
    return text(index, 0);
}

QString TListModel::text(int index, int column) const
{
    const size_t planRows = m_plan.size();
    if (index < 0 || index >= count() || column < 0 || column >= m_columnCaptions.size())
        return QString();
    if (static_cast<size_t>(index) < planRows) {
        const TPlanEntry& entry = m_plan[static_cast<size_t>(index)];
        switch (column) {
        case 0:
            return m_planFiles.value(entry.file);
        case 1:
            // A folder careful matching or an assignment chose says how, not a score.
            return entry.match == TMatchKind::Similar ? FormatScore(entry.score, m_locale)
                                                      : MatchKindColumnText(entry.match);
        case 2:
            return m_planFolders.value(entry.folder);
        case 3:
            return m_planArtists.value(entry.file);
        default:
            return QString();
        }
    }
    const size_t at = static_cast<size_t>(index) - planRows;
    if (column == 0)
        return m_captions.at(static_cast<qsizetype>(at));
    return m_cells[at * stride() + static_cast<size_t>(column - 1)];
}

int TListModel::imageOf(int index) const
{
    const size_t planRows = m_plan.size();
    if (static_cast<size_t>(index) < planRows)
        return m_planImage;
    return m_imageIndexes.at(static_cast<size_t>(index) - planRows);
}

int TListModel::add(TListRow row)
{
    m_captions.append(std::move(row.caption));
    for (size_t column = 0; column < stride(); ++column)
        m_cells.push_back(row.subItems.value(static_cast<qsizetype>(column)));
    m_imageIndexes.push_back(static_cast<qint16>(row.imageIndex));
    m_kinds.push_back(row.kind);
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
    beginUpdate();
    for (TListRow& row : rows)
        add(std::move(row));
    endUpdate();
}

void TListModel::remove(int index)
{
    if (index < 0 || index >= count())
        return;
    flushPending();
    beginRemoveRows(QModelIndex(), index, index);
    const size_t planRows = m_plan.size();
    if (static_cast<size_t>(index) < planRows) {
        m_plan.erase(static_cast<size_t>(index));
    } else {
        const size_t at = static_cast<size_t>(index) - planRows;
        m_captions.removeAt(static_cast<qsizetype>(at));
        const auto cells = m_cells.begin() + static_cast<std::ptrdiff_t>(at * stride());
        m_cells.erase(cells, cells + static_cast<std::ptrdiff_t>(stride()));
        m_imageIndexes.erase(m_imageIndexes.begin() + static_cast<std::ptrdiff_t>(at));
        m_kinds.erase(m_kinds.begin() + static_cast<std::ptrdiff_t>(at));
    }
    m_announced = count();
    endRemoveRows();
}

void TListModel::clear()
{
    beginResetModel();
    m_captions = QStringList();
    m_cells = {};
    m_imageIndexes = {};
    m_kinds = {};
    m_plan.clear();
    m_planFiles = QStringList();
    m_planFolders = QStringList();
    m_planFolderNames = QStringList();
    m_planArtists = QStringList();
    m_announced = 0;
    endResetModel();
}

void TListModel::setPlan(QStringList files, QStringList folders, TPlanEntries entries,
    int imageIndex, QStringList folderNames, QStringList artists)
{
    clear();
    beginResetModel();
    m_planFiles = std::move(files);
    m_planFolders = std::move(folders);
    m_planFolderNames = std::move(folderNames);
    m_planArtists = std::move(artists);
    if (m_otherArtistIcon.isNull() && qobject_cast<QApplication*>(QCoreApplication::instance()))
        m_otherArtistIcon = QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning);
    m_plan = std::move(entries);
    m_planImage = imageIndex;
    m_locale = QLocale();
    m_announced = count();
    endResetModel();
}

void TListModel::removePlanFiles(const QSet<QString>& files)
{
    if (files.isEmpty() || m_plan.empty())
        return;
    TPlanEntries kept;
    for (size_t i = 0; i < m_plan.size(); ++i) {
        if (!files.contains(m_planFiles.value(m_plan[i].file)))
            kept.push_back(m_plan[i]);
    }
    if (kept.size() == m_plan.size())
        return;
    flushPending();
    beginResetModel();
    m_plan = std::move(kept);
    m_announced = count();
    endResetModel();
}

void TListModel::beginUpdate()
{
    ++m_updateDepth;
}

void TListModel::endUpdate()
{
    if (m_updateDepth > 0 && --m_updateDepth == 0) {
        // A list that grew row by row gives back what its growth set aside.
        m_captions.squeeze();
        m_cells.shrink_to_fit();
        m_imageIndexes.shrink_to_fit();
        m_kinds.shrink_to_fit();
        flushPending();
    }
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
    return parent.isValid() ? 0 : static_cast<int>(m_columnCaptions.size());
}

QVariant TListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_announced)
        return QVariant();
    if (static_cast<size_t>(index.row()) < m_plan.size()) {
        if (role == Qt::DisplayRole)
            return planShown(index.row(), index.column());
        if (role == Qt::ToolTipRole)
            return planTip(index.row(), index.column());
        if (role == Qt::DecorationRole && index.column() == 1
            && m_plan[static_cast<size_t>(index.row())].otherArtist)
            return m_otherArtistIcon;
    }
    if (role == Qt::DisplayRole)
        return text(index.row(), index.column());
    if (role == Qt::DecorationRole && index.column() == 0 && m_images) {
        const QIcon icon = m_images->icon(imageOf(index.row()));
        if (!icon.isNull())
            return icon;
    }
    return QVariant();
}

QVariant TListModel::planShown(int index, int column) const
{
    const TPlanEntry& entry = m_plan[static_cast<size_t>(index)];
    // The parts that tell rows apart: the file's name and the folder below the destination.
    switch (column) {
    case 0:
        return FileNameOf(m_planFiles.value(entry.file));
    case 1:
        // A tenth is enough to read, and never more than the score reached: the tooltip
        // has it whole.
        if (entry.match == TMatchKind::Similar)
            return FormatScore(std::floor(entry.score * 10) / 10, m_locale);
        return text(index, column);
    case 2:
        if (const QString name = m_planFolderNames.value(entry.folder); !name.isEmpty())
            return name;
        return m_planFolders.value(entry.folder);
    default:
        return text(index, column);
    }
}

QVariant TListModel::planTip(int index, int column) const
{
    const TPlanEntry& entry = m_plan[static_cast<size_t>(index)];
    if (entry.otherArtist)
        return QLatin1String(kOtherArtistHint);
    if (column == 0 || column == 2 || (column == 1 && entry.match == TMatchKind::Similar))
        return text(index, column);
    return QVariant();
}

QVariant TListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return m_columnCaptions.value(section);
    return QVariant();
}

Qt::ItemFlags TListModel::flags(const QModelIndex& index) const
{
    // Selectable, never editable: captions are not edited in place.
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren
                           : Qt::NoItemFlags;
}

} // namespace plumtide
