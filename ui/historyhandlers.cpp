// The main window's part in the history: "Undo last sort".

#include "ui/historyhandlers.h"

#include "session/recorder.h"
#include "session/undo.h"
#include "ui/frmmain.h"
#include "ui/systray.h"

#include <QScopeGuard>

namespace plumtide
{

QString UndoQuestion(const THistoryRun& run, const TUndoSummary& preview)
{
    const QString started
        = run.started.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    const auto orUnknown
        = [](const QString& folder) { return folder.isEmpty() ? QStringLiteral("?") : folder; };
    QStringList lines;
    if (run.origin == TRunOrigin::Create)
        lines.append(QStringLiteral("Undo the folders made at %1 in %2?")
                         .arg(started, orUnknown(run.destination)));
    else
        lines.append(QStringLiteral("Undo the sort of %1 from %2 to %3?")
                         .arg(started, orUnknown(run.source), orUnknown(run.destination)));
    lines.append(QString());
    if (preview.restored > 0)
        lines.append(preview.restored == 1
                ? QStringLiteral("1 file goes back where it was.")
                : QStringLiteral("%1 files go back where they were.").arg(preview.restored));
    if (preview.removed > 0)
        lines.append(preview.removed == 1
                ? QStringLiteral("1 empty folder it made is removed.")
                : QStringLiteral("%1 empty folders it made are removed.").arg(preview.removed));
    if (preview.notRestored > 0)
        lines.append(QStringLiteral("%1 cannot come back: %2.")
                         .arg(preview.notRestored)
                         .arg(ReasonCounts(preview.reasons)));
    return lines.join(QLatin1Char('\n'));
}

void TfrmMain::showHistoryNotes(const TRunSession& session, const QString& note)
{
    for (const QString& notice : session.notices())
        DetailsAdd(notice);
    if (!note.isEmpty())
        DetailsAdd(note);
}

void TfrmMain::UndoLastSortClick()
{
    if (m_workDepth > 0)
        return;
    const QString path = THistory::DefaultPath();
    std::optional<THistoryRun> run;
    TUndoSummary preview;
    try {
        const THistory history(path, THistory::Access::Read);
        if (const std::optional<qint64> last = history.lastUndoable())
            run = history.run(*last);
        // Decided as the undo will decide, against the disk as it is now.
        if (run)
            preview = UndoRun(path, run->id, true, m_pump, {});
    } catch (const PlumtideError& error) {
        DetailsShow(QStringLiteral("Cannot undo: %1").arg(error.message()));
        return;
    }
    if (!run) {
        DetailsShow(QStringLiteral("Nothing to undo"));
        return;
    }
    if (preview.restored + preview.removed == 0) {
        DetailsShow(QStringLiteral("Nothing of run %1 can come back: %2")
                        .arg(run->id)
                        .arg(ReasonCounts(preview.reasons)));
        return;
    }
    if (!confirm || !confirm(UndoQuestion(*run, preview)))
        return;

    beginWork();
    const auto ended = qScopeGuard([this] { endWork(); });
    disableButtons();
    DetailsShow(QStringLiteral("The files are now being put back where they were"));
    QStringList stayed;
    QString result;
    try {
        const TUndoSummary summary
            = UndoRun(path, run->id, false, m_pump, [&](const TMoveEvent& event) {
                  if (event.outcome == TMoveOutcome::NotRestored)
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
