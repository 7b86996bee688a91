#pragma once

// Music files of every format the tests and benchmarks read: made by ffmpeg with
// scripts/make_format_samples.sh, never copied from elsewhere.

#include <QByteArray>
#include <QFile>
#include <QStandardPaths>
#include <QString>

#include <cstdlib>

namespace plumtide::test
{

inline bool HaveFfmpeg()
{
    return !QStandardPaths::findExecutable(QStringLiteral("ffmpeg")).isEmpty();
}

// Makes the samples in `folder`, each `seconds` long (the script's default when empty);
// false when that failed.
inline bool MakeFormatSamples(const QString& folder, const QByteArray& seconds = {})
{
    QByteArray command = "'" PLUMTIDE_SOURCE_DIR "/scripts/make_format_samples.sh' '"
        + QFile::encodeName(folder) + "'";
    if (!seconds.isEmpty())
        command += " '" + seconds + "'";
    return std::system(command.constData()) == 0;
}

} // namespace plumtide::test
