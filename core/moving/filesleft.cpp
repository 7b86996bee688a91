#include "core/moving/filesleft.h"

namespace plumtide
{

void TFilesLeft::see(const TMoveEvent& event)
{
    if (NamesFolder(event.outcome))
        return;
    if (m_named.contains(event.file))
        return; // a later row of a file: its first row decided it
    m_named.insert(event.file);
    if (event.outcome == TMoveOutcome::Skipped && event.reason != TReason::HeldByUndo
        && event.reason != TReason::AlreadyMoved && event.reason != TReason::AlreadyHandled)
        m_left.push_back({ event.file, event.reason });
}

void TFilesLeft::completed(const QStringList& listed)
{
    for (const QString& file : listed) {
        if (!m_named.contains(file)) {
            m_named.insert(file);
            m_left.push_back({ file, TReason::NoArtistFolder });
        }
    }
}

} // namespace plumtide
