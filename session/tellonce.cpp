#include "session/tellonce.h"

#include "platform/filestatus.h"

#include <map>
#include <utility>

namespace plumtide
{

bool TTellOnce::isNew(const QString& file, TReason reason) const
{
    const auto told = m_told.constFind(file);
    return told == m_told.cend() || *told != reason;
}

std::vector<TLeftOut> TTellOnce::newlyLeft(const std::vector<TLeftOut>& left)
{
    std::vector<TLeftOut> news;
    for (const TLeftOut& file : left) {
        if (!isNew(file.file, file.reason))
            continue;
        news.push_back(file);
        m_told.insert(file.file, file.reason);
    }
    m_told.removeIf([](const auto& entry) { return KindOfPath(entry.key()) == PathKind::Missing; });
    return news;
}

bool TTellOnce::newError(const QString& error)
{
    if (error == m_error)
        return false;
    m_error = error;
    return true;
}

TTellOnce& TellOnceFor(const QString& source, TRunOrigin origin)
{
    static std::map<std::pair<QString, int>, TTellOnce> kept;
    return kept[{ source, int(origin) }];
}

} // namespace plumtide
