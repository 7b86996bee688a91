// The memory plumtide-cli needs as a plan grows: `plan` and `sort --dry-run` at percentage
// 0 (every file gets a row for every folder) on the same 2,000 folders with more and more
// files, each run's peak resident memory as the system counts it. Memory that stays flat in
// the number of rows grows with the files only (their paths and tags), a few hundred bytes
// each, not with the rows; the planner keeps the rows of keys shared by several files up to
// a fixed budget (16 MB), which a small plan may not fill yet.
//
//     bench_cli_memory [folders=2000]

#include "bench/library.h"

#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

using namespace plumtide;

namespace
{

// The peak resident memory of one run of the CLI, in bytes; its output goes nowhere.
double peakOf(const std::vector<QByteArray>& arguments)
{
    rusage usage {};
    bench::RunCli(arguments, &usage);
    return double(usage.ru_maxrss) * 1024;
}

} // namespace

int main(int argc, char** argv)
{
    const int folders = argc > 1 ? std::atoi(argv[1]) : 2000;
    QTemporaryDir root;
    const QString destination = root.filePath(QStringLiteral("music"));
    std::printf("rows at percentage 0 against %d folders: peak memory of plumtide-cli\n", folders);
    double lastPlan = 0;
    double lastSort = 0;
    double lastRows = 0;
    for (const int files : { 250, 1000, 4000 }) {
        const QString source = root.filePath(QStringLiteral("in%1").arg(files));
        bench::MakeLibrary(source, files, destination, files == 250 ? folders : 0);
        const QByteArray in = QFile::encodeName(source);
        const QByteArray music = QFile::encodeName(destination);
        const double plan = peakOf({ "plan", "--percentage", "0", "--doubles", "keep", in, music });
        const double sort
            = peakOf({ "sort", "--dry-run", "--percentage", "0", "--doubles", "keep", in, music });
        const double rows = double(files) * folders;
        std::printf("  %5d files, %9.0f rows: plan %6.1f MB, sort --dry-run %6.1f MB\n", files,
            rows, plan / 1e6, sort / 1e6);
        if (lastRows > 0)
            std::printf("    per row added since the last: plan %.2f bytes, sort %.2f bytes\n",
                (plan - lastPlan) / (rows - lastRows), (sort - lastSort) / (rows - lastRows));
        lastPlan = plan;
        lastSort = sort;
        lastRows = rows;
    }
    return 0;
}
