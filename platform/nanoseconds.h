#pragma once

#include "platform/filestatus.h"

#include <QtGlobal>

#include <ctime>
#include <limits>
#include <sys/stat.h>

namespace plumtide
{

// A file time in nanoseconds since the epoch. Times beyond what 64 bits of nanoseconds hold
// (before 1677 or after 2262: a clock set wrong, a file from a broken archive) saturate
// rather than wrap, so they still compare as very old or very new.
inline qint64 NanosecondsOf(const struct timespec& time)
{
    constexpr qint64 kPerSecond = 1000000000;
    constexpr qint64 kMax = std::numeric_limits<qint64>::max();
    if (time.tv_sec > (kMax - (kPerSecond - 1)) / kPerSecond)
        return kMax;
    if (time.tv_sec < std::numeric_limits<qint64>::min() / kPerSecond + 1)
        return std::numeric_limits<qint64>::min();
    return qint64(time.tv_sec) * kPerSecond + time.tv_nsec;
}

// What one stat() told, as the platform layer hands it on.
TFileStatus StatusFromStat(const struct stat& st);

} // namespace plumtide
