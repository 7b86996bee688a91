// The main window's part in the history: "Undo last sort".

#include "ui/historyhandlers.h"

#include "history/recorder.h"
#include "history/undo.h"
#include "ui/frmmain.h"
#include "ui/systray.h"

namespace plumtide
{

QString UndoQuestion(const THistoryRun& run, int files)
{
    return QStringLiteral("Undo the sort of %1 from %2 to %3?\n\n%4 %5 back where %6 before.")
        .arg(run.started.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
            run.source.isEmpty() ? QStringLiteral("?") : run.source,
            run.destination.isEmpty() ? QStringLiteral("?") : run.destination)
        .arg(files)
        .arg(files == 1 ? QStringLiteral("file goes") : QStringLiteral("files go"),
            files == 1 ? QStringLiteral("it was") : QStringLiteral("they were"));
}

void TfrmMain::showHistoryNotes(const TRunRecorder& recorder, const QString& note)
{
    if (!recorder.problem().isEmpty())
        DetailsAdd(
            QStringLiteral("This run is not recorded in the history: %1").arg(recorder.problem()));
    if (!note.isEmpty())
        DetailsAdd(note);
}

void TfrmMain::UndoLastSortClick()
{
    const QString path = THistory::DefaultPath();
    std::optional<THistoryRun> run;
    int files = 0;
    try {
        const THistory history(path, THistory::Access::Read);
        if (const std::optional<qint64> last = history.lastUndoable()) {
            run = history.run(*last);
            const auto [total, restored] = history.restoredCount(*last);
            files = total - restored;
        }
    } catch (const PlumtideError& error) {
        DetailsShow(QStringLiteral("Cannot undo: %1").arg(error.message()));
        return;
    }
    if (!run) {
        DetailsShow(QStringLiteral("Nothing to undo"));
        return;
    }
    if (!confirm || !confirm(UndoQuestion(*run, files)))
        return;

    disableButtons();
    DetailsShow(QStringLiteral("The files are now being put back where they were"));
    QStringList stayed;
    QString result;
    try {
        const TUndoSummary summary
            = UndoRun(path, run->id, false, m_pump, [&](const TMoveEvent& event) {
                  if (event.outcome != TMoveOutcome::Restored)
                      stayed.append(
                          QStringLiteral("%1: %2").arg(event.file, ReasonText(event.reason)));
              });
        result = summary.text();
    } catch (const PlumtideError& error) {
        result = QStringLiteral("Cannot undo: %1").arg(error.message());
    }
    // The files are back in the source list, not in the plan.
    btnViewSourceClick();
    DetailsShow(result);
    for (const QString& line : std::as_const(stayed))
        DetailsAdd(line);
    // From the notification area's menu the window may be out of sight.
    if (Systray->Shown())
        Systray->ShowMessage(QStringLiteral("Plumtide"), result);
    enableButtons();
}

} // namespace plumtide
