#include "core/summary.h"

#include "core/moving/companions.h"
#include "platform/paths.h"

#include <QStringList>

#include <algorithm>

namespace plumtide
{

namespace
{

QString counted(int count, const char* one, const char* many)
{
    return QStringLiteral("%1 %2").arg(count).arg(QString::fromLatin1(count == 1 ? one : many));
}

} // namespace

void CountReason(std::vector<std::pair<TReason, int>>& reasons, TReason reason)
{
    const auto found = std::find_if(
        reasons.begin(), reasons.end(), [&](const auto& entry) { return entry.first == reason; });
    if (found == reasons.end())
        reasons.emplace_back(reason, 1);
    else
        ++found->second;
}

QString ReasonCounts(const std::vector<std::pair<TReason, int>>& reasons)
{
    QStringList texts;
    for (const auto& [reason, count] : reasons)
        texts.append(QStringLiteral("%1 %2").arg(count).arg(ReasonText(reason)));
    return texts.join(QStringLiteral(", "));
}

void TMoveSummary::count(const TMoveEvent& event)
{
    switch (event.outcome) {
    case TMoveOutcome::Moved:
        ++moved;
        if (IsCompanionName(event.file))
            ++companionsMoved;
        if (event.reason == TReason::NameTaken)
            ++nameTaken;
        return;
    case TMoveOutcome::DoubleMoved:
        ++doublesMoved;
        if (doublesFolder.isEmpty())
            doublesFolder = FolderOf(event.target);
        return;
    case TMoveOutcome::DoubleDeleted:
        ++doublesDeleted;
        return;
    case TMoveOutcome::DoubleKept:
        ++doublesKept;
        return;
    case TMoveOutcome::SmallDeleted:
        ++smallDeleted;
        return;
    case TMoveOutcome::InPlace:
        ++inPlace;
        return;
    case TMoveOutcome::Created:
        ++created;
        return;
    case TMoveOutcome::NotCreated:
        ++notCreated;
        return;
    case TMoveOutcome::Deleted:
        ++deleted;
        return;
    case TMoveOutcome::Restored:
        ++restored;
        return;
    case TMoveOutcome::NotRestored:
        ++notRestored;
        CountReason(notRestoredReasons, event.reason);
        return;
    case TMoveOutcome::Removed:
        ++removed;
        return;
    case TMoveOutcome::FolderRemoved:
        ++foldersRemoved;
        return;
    case TMoveOutcome::Skipped:
        break;
    }
    if (event.reason == TReason::AlreadyMoved || event.reason == TReason::AlreadyHandled)
        return;
    if (event.reason == TReason::HeldByUndo) {
        ++heldByUndo;
        return;
    }
    CountReason(skipped, event.reason);
}

int TMoveSummary::skippedFiles() const
{
    int total = 0;
    for (const auto& entry : skipped)
        total += entry.second;
    return total;
}

bool TMoveSummary::anythingHappened() const
{
    return moved + doublesMoved + doublesDeleted + smallDeleted + deleted + skippedFiles() > 0;
}

QString TMoveSummary::text() const
{
    QStringList parts;
    if (moved > 0 && nameTaken > 0)
        parts.append(counted(moved, "file moved", "files moved")
            + QStringLiteral(" (%1, filed as \"name (n)\")")
                  .arg(counted(nameTaken, "name taken", "names taken")));
    else if (moved > 0)
        parts.append(counted(moved, "file moved", "files moved"));
    if (doublesMoved > 0)
        parts.append(
            counted(doublesMoved, "double set aside in ", "doubles set aside in ") + doublesFolder);
    if (doublesDeleted > 0)
        parts.append(counted(doublesDeleted, "double deleted", "doubles deleted"));
    if (doublesKept > 0)
        parts.append(counted(doublesKept, "double kept", "doubles kept"));
    if (smallDeleted > 0)
        parts.append(counted(smallDeleted, "small file deleted", "small files deleted"));
    if (inPlace > 0)
        parts.append(counted(inPlace, "file already in place", "files already in place"));
    if (deleted > 0)
        parts.append(counted(deleted, "file deleted", "files deleted"));
    if (foldersRemoved > 0)
        parts.append(counted(foldersRemoved, "emptied folder removed", "emptied folders removed"));
    if (!skipped.empty())
        parts.append(
            QStringLiteral("%1 skipped (%2)").arg(skippedFiles()).arg(ReasonCounts(skipped)));
    if (heldByUndo > 0)
        parts.append(counted(heldByUndo, "file held by an undo", "files held by an undo"));
    QString done
        = parts.isEmpty() ? QStringLiteral("nothing moved") : parts.join(QStringLiteral(", "));
    switch (end) {
    case TRunEnd::Completed:
        if (parts.isEmpty())
            return QStringLiteral("Nothing to move");
        done[0] = done[0].toUpper();
        return done;
    case TRunEnd::Aborted:
        return QStringLiteral("Move aborted; before that: %1").arg(done);
    case TRunEnd::Failed:
        if (failure.isEmpty())
            return QStringLiteral("Move stopped by an error; before that: %1").arg(done);
        return QStringLiteral("Move stopped: %1; before that: %2").arg(failure, done);
    }
    return done;
}

QString JsonString(const QString& text)
{
    QString out;
    out.reserve(text.size() + 2);
    out += QLatin1Char('"');
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '"':
            out += QStringLiteral("\\\"");
            break;
        case '\\':
            out += QStringLiteral("\\\\");
            break;
        case '\n':
            out += QStringLiteral("\\n");
            break;
        case '\r':
            out += QStringLiteral("\\r");
            break;
        case '\t':
            out += QStringLiteral("\\t");
            break;
        default:
            if (c.unicode() < 0x20)
                out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
            else
                out += c;
        }
    }
    out += QLatin1Char('"');
    return out;
}

QString SummaryRecordJson(const TMoveSummary& summary, size_t left)
{
    static const char* const ends[] = { "completed", "aborted", "failed" };
    const std::pair<const char*, qint64> counts[] = { { "moved", summary.moved },
        { "double-moved", summary.doublesMoved }, { "double-deleted", summary.doublesDeleted },
        { "double-kept", summary.doublesKept }, { "small-deleted", summary.smallDeleted },
        { "in-place", summary.inPlace }, { "skipped", summary.skippedFiles() } };
    QString json = QStringLiteral("{\"outcome\":\"summary\"");
    for (const auto& [name, count] : counts)
        json += QStringLiteral(",\"%1\":%2").arg(QLatin1String(name)).arg(count);
    json += QStringLiteral(",\"end\":\"%1\",\"companions\":%2,\"left\":%3,\"name-taken\":%4}")
                .arg(QLatin1String(ends[static_cast<int>(summary.end)]))
                .arg(summary.companionsMoved)
                .arg(qulonglong(left))
                .arg(summary.nameTaken);
    return json;
}

} // namespace plumtide
