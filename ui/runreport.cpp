#include "ui/runreport.h"

#include "core/moving/companions.h"
#include "core/moving/fileutils.h"
#include "platform/paths.h"
#include "ui/artwork.h"
#include "ui/viewrules.h"

namespace plumtide
{

namespace
{

// Files a notification names before it only counts the rest.
constexpr int kNamedInNotice = 3;

QString counted(qsizetype count, const char* one, const char* many)
{
    return QStringLiteral("%1 %2").arg(count).arg(QString::fromLatin1(count == 1 ? one : many));
}

// What the run changed on disk, songs counted apart from what went with them; empty for
// nothing. Files it skipped are not here: they are among the files left.
QString doneText(const TMoveSummary& summary)
{
    QStringList parts;
    const int songs = summary.moved - summary.companionsMoved;
    if (songs > 0) {
        QString part = counted(songs, "song moved", "songs moved");
        if (summary.nameTaken > 0)
            part += QStringLiteral(" (%1, filed as \"name (n)\")")
                        .arg(counted(summary.nameTaken, "name taken", "names taken"));
        if (summary.companionsMoved > 0)
            part += QStringLiteral(" and %1").arg(counted(summary.companionsMoved,
                "lyrics, cue or notes file", "lyrics, cue and notes files"));
        parts.append(part);
    } else if (summary.companionsMoved > 0) {
        parts.append(counted(summary.companionsMoved, "lyrics, cue or notes file moved",
            "lyrics, cue and notes files moved"));
    }
    TMoveSummary rest = summary;
    rest.moved = 0;
    rest.companionsMoved = 0;
    rest.nameTaken = 0;
    rest.skipped.clear();
    rest.end = TRunEnd::Completed;
    if (const QString others = rest.text(); others != TMoveSummary().text())
        parts.append(others);
    return parts.join(QStringLiteral(", "));
}

// How many songs are left and why: "10 songs left in the source (7 no folder for its
// artist, 3 in use)"; empty for none. What goes with a song stays with it and is not counted.
QString leftText(const std::vector<TLeftOut>& left)
{
    std::vector<std::pair<TReason, int>> reasons;
    int songs = 0;
    for (const TLeftOut& file : left) {
        if (IsCompanionName(file.file))
            continue;
        ++songs;
        CountReason(reasons, file.reason);
    }
    if (songs == 0)
        return QString();
    return QStringLiteral("%1 (%2)").arg(
        counted(songs, "song left in the source", "songs left in the source"),
        ReasonCounts(reasons));
}

} // namespace

QStringList MoveReport(const TMoveSummary& summary, const std::vector<TLeftOut>& left,
    const QString& destination, bool destinationWritable)
{
    const QString done = doneText(summary);
    const QString stayed = leftText(left);
    QString headline;
    switch (summary.end) {
    case TRunEnd::Completed:
        headline = done.isEmpty() && stayed.isEmpty() ? TMoveSummary().text() : done;
        if (!headline.isEmpty())
            headline[0] = headline[0].toUpper();
        break;
    case TRunEnd::Aborted:
        headline = QStringLiteral("Move aborted; before that: %1")
                       .arg(done.isEmpty() ? QStringLiteral("nothing moved") : done);
        break;
    case TRunEnd::Failed: {
        const QString before = done.isEmpty() ? QStringLiteral("nothing moved") : done;
        headline = summary.failure.isEmpty()
            ? QStringLiteral("Move stopped by an error; before that: %1").arg(before)
            : QStringLiteral("Move stopped: %1; before that: %2").arg(summary.failure, before);
        break;
    }
    }
    if (!stayed.isEmpty())
        headline = headline.isEmpty() ? stayed : QStringLiteral("%1; %2").arg(headline, stayed);

    QStringList lines { headline };
    int refused = 0;
    for (const TLeftOut& file : left) {
        // No folder for its artist is told by the plan, which shows the new artists.
        if (file.reason == TReason::NoArtistFolder)
            continue;
        if (!destinationWritable && file.reason == TReason::PermissionDenied) {
            ++refused;
            continue;
        }
        lines.append(QStringLiteral("%1: %2").arg(file.file, ReasonText(file.reason)));
    }
    if (refused > 0)
        lines.insert(1,
            QStringLiteral(
                "The destination folder %1 cannot be written to: %2 stayed in the source")
                .arg(destination, counted(refused, "file", "files")));
    return lines;
}

QString TrayNotice(const TMoveSummary& summary, const std::vector<TLeftOut>& newlyLeft)
{
    QStringList parts;
    if (QString done = doneText(summary); !done.isEmpty()) {
        done[0] = done[0].toUpper();
        parts.append(done);
    }
    if (!newlyLeft.empty()) {
        QStringList named;
        for (const TLeftOut& file : newlyLeft) {
            if (named.size() == kNamedInNotice)
                break;
            named.append(
                QStringLiteral("%1 (%2)").arg(FileNameOf(file.file), ReasonText(file.reason)));
        }
        QString text = QStringLiteral("%1 left in the source: %2")
                           .arg(newlyLeft.size())
                           .arg(named.join(QStringLiteral(", ")));
        if (newlyLeft.size() > size_t(kNamedInNotice))
            text += QStringLiteral(" and %1 more").arg(newlyLeft.size() - size_t(kNamedInNotice));
        parts.append(text);
    }
    return parts.join(QStringLiteral("; "));
}

QStringList MissingFolderLines(const QString& source, const QString& destination)
{
    QStringList lines;
    const auto check = [&](const QString& folder, const char* which) {
        if (folder.isEmpty())
            lines.append(QStringLiteral("No %1 folder chosen").arg(QLatin1String(which)));
        else if (!FolderExists(folder))
            lines.append(QStringLiteral("The %1 folder %2 does not exist")
                             .arg(QLatin1String(which), folder));
    };
    check(source, "source");
    check(destination, "destination");
    return lines;
}

TListRow EmptyPlanRow(const QString& source, int listedSongs)
{
    if (!source.isEmpty() && !FolderExists(source))
        return TListRow { QStringLiteral("The source folder does not exist"), {},
            TImageList::NothingFound, TListRow::Kind::Placeholder };
    if (listedSongs == 0)
        return TListRow { QStringLiteral("No songs left to sort in the source folder"), {},
            TImageList::MusicNotes, TListRow::Kind::Placeholder };
    return PlanPlaceholderRow();
}

} // namespace plumtide
