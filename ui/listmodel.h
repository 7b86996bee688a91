#pragma once

#include <QAbstractTableModel>
#include <QStringList>

#include <vector>

namespace plumtide
{

class TImageList;

// One row of a report view: its caption (the first column), the texts of the further
// columns, and the index of its picture in the image list (-1 for none). A plan row also
// keeps its score as a number; the plan's placeholder row is a kind of its own, so that a
// file that happens to have the placeholder's text as its path is still a file.
struct TListRow {
    enum class Kind : quint8 { Item, Placeholder };

    QString caption;
    QStringList subItems;
    int imageIndex = -1;
    Kind kind = Kind::Item;
    double score = 0;
};

// The rows behind the three list views of the main window. A plain vector of rows, so a
// list of 100,000 files costs one allocation per string and no widget per row. Rows
// appended between beginUpdate() and endUpdate() reach the views as one insertion.
class TListModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit TListModel(QStringList columnCaptions, QObject* parent = nullptr);

    // Row pictures come from here; without an image list rows have none.
    void setImageList(const TImageList* images) { m_images = images; }

    int count() const { return static_cast<int>(m_rows.size()); }
    const TListRow& row(int index) const { return m_rows.at(static_cast<size_t>(index)); }
    QString caption(int index) const { return row(index).caption; }
    // The text of column `column` (0 is the caption); empty where the row has none.
    QString text(int index, int column) const;

    // Appends one row and returns its index.
    int add(TListRow row);
    int add(const QString& caption, const QStringList& subItems, int imageIndex);
    void append(std::vector<TListRow> rows);
    void remove(int index);
    void clear();

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

    QStringList m_captions;
    std::vector<TListRow> m_rows;
    const TImageList* m_images = nullptr;
    int m_updateDepth = 0;
    int m_announced = 0; // rows the views know of; more may be pending inside an update
};

} // namespace plumtide
