#pragma once

#include "core/planning/leaveout.h"

#include <QHash>
#include <QString>

#include <vector>

namespace plumtide
{

// What unattended runs tell whoever looks after them (the watch's lines, the tray notice):
// each file left once, when it is first left and when its reason changes, and each error
// once, not at every run that finds the same. One is kept per source folder and way of
// starting (see TellOnceFor), so that the window's timer and a watch do not silence each
// other.
class TTellOnce
{
public:
    // Whether the file left for this reason is news.
    bool isNew(const QString& file, TReason reason) const;
    // Of the files a run left, those that are news; they count as told from now on. Files
    // told before that are gone (filed, deleted) are forgotten.
    std::vector<TLeftOut> newlyLeft(const std::vector<TLeftOut>& left);
    // A file the run filed (or deleted): if it is left again, that is news.
    void forget(const QString& file) { m_told.remove(file); }
    // Whether this error is news: not the last one told. A run that ends well clears it.
    bool newError(const QString& error);
    void succeeded() { m_error.clear(); }

private:
    QHash<QString, TReason> m_told;
    QString m_error;
};

// The one kept for runs of this origin from this source, for as long as the program runs.
TTellOnce& TellOnceFor(const QString& source, TRunOrigin origin);

} // namespace plumtide
