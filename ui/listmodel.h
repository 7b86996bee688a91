#pragma once

#include "core/planning/planner.h"

#include <QAbstractTableModel>
#include <QIcon>
#include <QLocale>
#include <QSet>
#include <QStringList>

#include <array>
#include <memory>
#include <vector>

namespace plumtide
{

class TImageList;

// One row of a report view: its caption (the first column), the texts of the further
// columns, and the index of its picture in the image list (-1 for none). A plan row also
// has its score as a number; the plan's placeholder row is a kind of its own, so that a
// file that happens to have the placeholder's text as its path is still a file.
struct TListRow {
    // Unfiled: a file the plan shows beside a folder it is not moved to (see newartists.h).
    enum class Kind : quint8 { Item, Placeholder, Unfiled };

    QString caption;
    QStringList subItems;
    int imageIndex = -1;
    Kind kind = Kind::Item;
    double score = 0;
};

// A plan's rows by number, in blocks: sixteen bytes a row, and a plan that grows never
// holds two copies of itself while it moves to a larger block of memory.
class TPlanEntries
{
public:
    TPlanEntries() = default;
    TPlanEntries(const TPlanEntries& other);
    TPlanEntries& operator=(const TPlanEntries& other);
    TPlanEntries(TPlanEntries&&) noexcept = default;
    TPlanEntries& operator=(TPlanEntries&&) noexcept = default;

    size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }
    const TPlanEntry& operator[](size_t index) const
    {
        return (*m_blocks[index / kBlockRows])[index % kBlockRows];
    }
    void push_back(const TPlanEntry& entry);
    void erase(size_t index);
    void clear();

private:
    static constexpr size_t kBlockRows = 4096;
    using Block = std::array<TPlanEntry, kBlockRows>;
    std::vector<std::unique_ptr<Block>> m_blocks;
    size_t m_size = 0;
};

// The rows behind the three list views of the main window, stored by column: a list of
// 100,000 files costs its texts and a few bytes a row, and no widget per row. A plan's rows
// are kept as numbers (file and folder by index into the paths the two other lists already
// hold, the score) and their texts made when shown. Rows appended between beginUpdate() and
// endUpdate() reach the views as one insertion.
class TListModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit TListModel(QStringList columnCaptions, QObject* parent = nullptr);

    // Row pictures come from here; without an image list rows have none.
    void setImageList(const TImageList* images) { m_images = images; }

    int count() const { return static_cast<int>(m_plan.size()) + static_cast<int>(m_kinds.size()); }
    // The row as the views show it, made when asked.
    TListRow row(int index) const;
    QString caption(int index) const;
    // The text of column `column` (0 is the caption); empty where the row has none.
    QString text(int index, int column) const;
    // Every row's caption, shared: a copy costs nothing until either side changes.
    QStringList captions() const { return m_captions; }

    // Appends one row and returns its index.
    int add(TListRow row);
    int add(const QString& caption, const QStringList& subItems, int imageIndex);
    void append(std::vector<TListRow> rows);
    void remove(int index);
    void clear();

    // Shows a plan: its rows come first, each file and folder a path of `files` and
    // `folders` (as the source and destination lists hold them), shown with `imageIndex`.
    // A plan row shows its file's name, its folder as `folderNames` has it (the path below
    // the destination; the path where there is none) and its file's artist of `artists`,
    // by the same indexes; the paths are the rows' texts and tooltips.
    void setPlan(QStringList files, QStringList folders, TPlanEntries entries, int imageIndex,
        QStringList folderNames = {}, QStringList artists = {});
    // Takes the plan's rows of these files out (files a run took away meanwhile).
    void removePlanFiles(const QSet<QString>& files);
    // The plan's rows as the move takes them: every plan row, in order.
    const TPlanEntries& planEntries() const { return m_plan; }
    const QStringList& planFiles() const { return m_planFiles; }
    const QStringList& planFolders() const { return m_planFolders; }

    // Nested pairs are allowed; the views learn of the new rows at the outermost end.
    void beginUpdate();
    void endUpdate();
    // Tells the views of the rows added so far, also inside an update, so that a long
    // update shows its progress when the window repaints.
    void announcePending() { flushPending(); }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(
        int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    void flushPending();
    int imageOf(int index) const;
    // What a plan row shows in a column, and its tooltip there.
    QVariant planShown(int index, int column) const;
    QVariant planTip(int index, int column) const;
    // Texts per row beyond the caption.
    size_t stride() const { return static_cast<size_t>(m_columnCaptions.size() - 1); }

    QStringList m_columnCaptions;
    // Rows added one by one, after the plan's.
    QStringList m_captions;
    std::vector<QString> m_cells; // stride() texts per row
    std::vector<qint16> m_imageIndexes;
    std::vector<TListRow::Kind> m_kinds;
    // The plan's rows.
    TPlanEntries m_plan;
    QStringList m_planFiles;
    QStringList m_planFolders;
    QStringList m_planFolderNames;
    QStringList m_planArtists;
    QIcon m_otherArtistIcon; // beside the score of a row marked otherArtist
    int m_planImage = -1;
    QLocale m_locale;
    const TImageList* m_images = nullptr;
    int m_updateDepth = 0;
    int m_announced = 0; // rows the views know of; more may be pending inside an update
};

} // namespace plumtide
