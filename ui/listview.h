#pragma once

#include "ui/listmodel.h"

#include <QTreeView>

#include <initializer_list>
#include <utility>

namespace plumtide
{

// A report view over a TListModel: one row per item, column headers, whole-row single
// selection, no editing, uniform row heights so that 100,000 rows scroll without lag.
class TListView : public QTreeView
{
    Q_OBJECT
public:
    // `columns` are (caption, width in pixels). The view owns its model.
    TListView(std::initializer_list<std::pair<const char*, int>> columns, const TImageList* images,
        QWidget* parent);

    TListModel& items() const { return *m_items; }
    // The selected row, or -1 when none is.
    int itemIndex() const;
    void setItemIndex(int index);

    // Texts too wide for their column lose their middle (paths keep both ends); a column
    // set here loses its end instead, so that a number keeps its leading digits.
    void setColumnElidesAtEnd(int column);

protected:
    // The view's hint over the whole view, as for every other control; over a row with a
    // tooltip of its own, that one.
    bool viewportEvent(QEvent* event) override;

private:
    TListModel* m_items;
};

} // namespace plumtide
