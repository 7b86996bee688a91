// How fast the main window's list views take a large folder: 100,000 rows appended to our
// list model behind a live report view, against the same rows as widget items in Qt's
// QStandardItemModel (one object per cell), measured in the same run.

#include "ui/artwork.h"
#include "ui/listview.h"

#include <QApplication>
#include <QStandardItemModel>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>

using namespace plumtide;

namespace
{

constexpr int kRows = 100000;

std::vector<TListRow> sourceRows()
{
    std::vector<TListRow> rows;
    rows.reserve(kRows);
    for (int i = 0; i < kRows; ++i)
        rows.push_back({ QStringLiteral("/home/user/Music/Incoming/Artist %1 - Song %2.mp3")
                             .arg(i % 997)
                             .arg(i),
            { QStringLiteral("ARTIST %1").arg(i % 997), QStringLiteral("Song %1").arg(i) }, 1 });
    return rows;
}

void BM_ListModelAppend(benchmark::State& state)
{
    const TImageList images;
    TListView view({ { "Filename", 380 }, { "Artist", 100 }, { "Title", 200 } }, &images, nullptr);
    view.resize(713, 273);
    view.show();
    const std::vector<TListRow> rows = sourceRows();
    for (auto _ : state) {
        view.items().clear();
        view.items().beginUpdate();
        for (const TListRow& row : rows)
            view.items().add(row);
        view.items().endUpdate();
        QCoreApplication::processEvents();
    }
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_ListModelAppend)->Unit(benchmark::kMillisecond);

void BM_ListModelScrollAndPaint(benchmark::State& state)
{
    const TImageList images;
    TListView view({ { "Filename", 380 }, { "Artist", 100 }, { "Title", 200 } }, &images, nullptr);
    view.resize(713, 273);
    view.show();
    view.items().append(sourceRows());
    QCoreApplication::processEvents();
    bool bottom = false;
    for (auto _ : state) {
        bottom ? view.scrollToTop() : view.scrollToBottom();
        bottom = !bottom;
        view.viewport()->repaint();
    }
}
BENCHMARK(BM_ListModelScrollAndPaint)->Unit(benchmark::kMicrosecond);

void BM_StandardItemModelAppend(benchmark::State& state)
{
    QStandardItemModel model(0, 3);
    QTreeView view;
    view.setModel(&model);
    view.setUniformRowHeights(true);
    view.resize(713, 273);
    view.show();
    const std::vector<TListRow> rows = sourceRows();
    const QIcon icon = TImageList().icon(1);
    for (auto _ : state) {
        model.removeRows(0, model.rowCount());
        for (const TListRow& row : rows)
            model.appendRow({ new QStandardItem(icon, row.caption),
                new QStandardItem(row.subItems[0]), new QStandardItem(row.subItems[1]) });
        QCoreApplication::processEvents();
    }
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_StandardItemModelAppend)->Unit(benchmark::kMillisecond);

// Remembers each benchmark's time per iteration, to print the ratio at the end.
class RatioReporter : public benchmark::ConsoleReporter
{
public:
    std::map<std::string, double> seconds;
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs)
            seconds[run.benchmark_name()]
                = run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
        ConsoleReporter::ReportRuns(runs);
    }
};

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    const auto ours = reporter.seconds.find("BM_ListModelAppend");
    const auto reference = reporter.seconds.find("BM_StandardItemModelAppend");
    if (ours != reporter.seconds.end() && reference != reporter.seconds.end())
        std::printf("100,000 rows: %.1f ms with the list model, %.1f ms as widget items "
                    "(%.1fx faster)\n",
            ours->second * 1e3, reference->second * 1e3, reference->second / ours->second);
    return 0;
}
