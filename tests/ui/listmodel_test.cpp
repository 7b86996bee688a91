#include "core/matching/artistmatch.h"
#include "ui/artwork.h"
#include "ui/listmodel.h"
#include "ui/listview.h"

#include <QHeaderView>
#include <QSignalSpy>

#include <gtest/gtest.h>

using namespace plumtide;

TEST(ListModel, RowsAppendedInAnUpdateReachTheViewsAsOneInsertion)
{
    TListModel model({ QStringLiteral("Filename"), QStringLiteral("Artist") });
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    model.add(QStringLiteral("/in/first.mp3"), { QStringLiteral("ABBA") }, 1);
    ASSERT_EQ(inserted.count(), 1);

    model.beginUpdate();
    model.beginUpdate();
    for (int i = 0; i < 500; ++i)
        model.add(QStringLiteral("/in/%1.mp3").arg(i), { QStringLiteral("QUEEN") }, 1);
    model.endUpdate();
    EXPECT_EQ(inserted.count(), 1) << "inner end of a nested update";
    // The rows are readable before the views learn of them.
    EXPECT_EQ(model.count(), 501);
    EXPECT_EQ(model.rowCount(), 1);
    EXPECT_EQ(model.caption(500), QStringLiteral("/in/499.mp3"));
    model.endUpdate();

    ASSERT_EQ(inserted.count(), 2);
    EXPECT_EQ(inserted[1][1].toInt(), 1);
    EXPECT_EQ(inserted[1][2].toInt(), 500);
    EXPECT_EQ(model.rowCount(), 501);
    model.endUpdate(); // an unmatched end does no harm
    EXPECT_EQ(model.rowCount(), 501);
}

TEST(ListModel, RemoveAndClearKeepViewsAndRowsInStep)
{
    TListModel model({ QStringLiteral("Folder") });
    std::vector<TListRow> rows;
    for (int i = 0; i < 4; ++i)
        rows.push_back({ QStringLiteral("/lib/%1").arg(i), {}, 0 });
    model.append(std::move(rows));
    ASSERT_EQ(model.rowCount(), 4);

    model.remove(1);
    EXPECT_EQ(model.rowCount(), 3);
    EXPECT_EQ(model.caption(1), QStringLiteral("/lib/2"));
    model.remove(-1);
    model.remove(3);
    EXPECT_EQ(model.rowCount(), 3);

    // A removal inside an update first announces what was pending.
    model.beginUpdate();
    model.add(QStringLiteral("/lib/4"), {}, 0);
    model.remove(0);
    EXPECT_EQ(model.rowCount(), 3);
    model.endUpdate();
    EXPECT_EQ(model.rowCount(), 3);
    EXPECT_EQ(model.caption(2), QStringLiteral("/lib/4"));

    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    model.clear();
    EXPECT_EQ(reset.count(), 1);
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_EQ(model.count(), 0);
}

TEST(ListModel, ColumnsPicturesAndNoEditing)
{
    const TImageList images;
    TListModel model({ QStringLiteral("Source file"), QStringLiteral("%"),
        QStringLiteral("Destination"), QStringLiteral("Artist") });
    model.setImageList(&images);
    model.add(QStringLiteral("/in/a.mp3"), { QStringLiteral("85") }, TImageList::MusicNotes);
    model.add(QStringLiteral("No corresponding artists found"), {}, 7);

    EXPECT_EQ(model.columnCount(), 4);
    EXPECT_EQ(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("%"));
    EXPECT_EQ(model.data(model.index(0, 1)).toString(), QStringLiteral("85"));
    // Columns a row does not fill are empty, not an error.
    EXPECT_EQ(model.data(model.index(0, 3)).toString(), QString());
    EXPECT_EQ(model.text(1, 2), QString());

    EXPECT_FALSE(model.data(model.index(0, 0), Qt::DecorationRole).value<QIcon>().isNull());
    EXPECT_FALSE(model.data(model.index(0, 1), Qt::DecorationRole).isValid());
    EXPECT_FALSE(model.data(model.index(1, 0), Qt::DecorationRole).isValid())
        << "an index past the image list shows no picture";

    const Qt::ItemFlags flags = model.flags(model.index(0, 0));
    EXPECT_TRUE(flags & Qt::ItemIsSelectable);
    EXPECT_FALSE(flags & Qt::ItemIsEditable);
}

TEST(ListView, ReportViewWithWholeRowSingleSelection)
{
    const TImageList images;
    TListView view({ { "Filename", 380 }, { "Artist", 100 }, { "Title", 200 } }, &images, nullptr);
    EXPECT_EQ(view.columnWidth(0), 380);
    EXPECT_EQ(view.columnWidth(2), 200);
    EXPECT_EQ(view.model()->headerData(2, Qt::Horizontal).toString(), QStringLiteral("Title"));
    EXPECT_EQ(view.selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(view.selectionMode(), QAbstractItemView::SingleSelection);
    EXPECT_EQ(view.editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_TRUE(view.uniformRowHeights());

    EXPECT_EQ(view.itemIndex(), -1);
    for (int i = 0; i < 3; ++i)
        view.items().add(QStringLiteral("/in/%1.mp3").arg(i), {}, 1);
    view.setItemIndex(2);
    EXPECT_EQ(view.itemIndex(), 2);
    view.setItemIndex(1);
    EXPECT_EQ(view.itemIndex(), 1);
    EXPECT_EQ(view.selectionModel()->selectedRows().size(), 1);
    view.setItemIndex(3);
    EXPECT_EQ(view.itemIndex(), -1);

    view.setItemIndex(2);
    view.items().clear();
    EXPECT_EQ(view.itemIndex(), -1) << "no selection survives emptying the list";
}

// A plan's rows are numbers into the paths the lists hold; their texts are made when shown,
// and a row removed by hand takes its number with it.
TEST(ListModel, PlanRowsAreNumbersShownAsTexts)
{
    TListModel plan({ QStringLiteral("Source file"), QStringLiteral("%"),
        QStringLiteral("Destination"), QStringLiteral("Artist") });
    TPlanEntries entries;
    entries.push_back({ 1, 0, 100.0 });
    entries.push_back({ 0, 1, 61.25 });
    entries.push_back({ 0, 0, 40.0 });
    plan.setPlan({ QStringLiteral("/in/a.mp3"), QStringLiteral("/in/b.mp3") },
        { QStringLiteral("/music/ABBA"), QStringLiteral("/music/Queen") }, entries,
        TImageList::MusicNotes);
    ASSERT_EQ(plan.rowCount(), 3);
    EXPECT_EQ(plan.text(0, 0), QStringLiteral("/in/b.mp3"));
    EXPECT_EQ(plan.text(1, 1), FormatScore(61.25, QLocale()));
    EXPECT_EQ(plan.text(1, 2), QStringLiteral("/music/Queen"));
    EXPECT_EQ(plan.row(1).score, 61.25);
    EXPECT_EQ(plan.row(1).imageIndex, TImageList::MusicNotes);

    plan.remove(1);
    EXPECT_EQ(plan.planEntries().size(), 2u);
    EXPECT_EQ(plan.text(1, 1), FormatScore(40.0, QLocale()));
    plan.add(QStringLiteral("No corresponding artists found"), {}, TImageList::NothingFound);
    EXPECT_EQ(plan.row(2).kind, TListRow::Kind::Item);
    EXPECT_EQ(plan.caption(2), QStringLiteral("No corresponding artists found"));
}
