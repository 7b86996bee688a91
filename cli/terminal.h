#pragma once

#include "core/pump.h"

#include <QElapsedTimer>
#include <QString>

#include <cstdio>

namespace plumtide::cli
{

// Writes `text` as UTF-8 to `out` (standard output or error), as every record and message of
// the program is written.
void Print(std::FILE* out, const QString& text);
inline void PrintError(const QString& text)
{
    Print(stderr, text);
}

// Throws IOError once a write to standard output has failed (see OutputError): whoever reads
// the records is gone or cannot keep them, so the work stops at its next safe point, and
// what it did is still recorded and summed up on standard error.
void CheckOutput();
// Before a run changes the disk: the records of what it did so far go out, and a failed
// standard output ends it before the changes (see CheckOutput).
void FlushBeforeChanges();

// The CLI's pump and Details sink: abort follows the interrupt flag, and a failed standard
// output ends the work (see CheckOutput); Details lines that
// report a problem (a file in use, an unreadable name) go to standard error; when standard
// error is a terminal, a one-line progress display with counts is kept up to date there.
// Nothing of it goes to standard output.
class TerminalProgress : public Pump, public DetailsSink
{
public:
    TerminalProgress();
    ~TerminalProgress() override;

    void processEvents() override;
    bool abortRequested() const override;
    void beforeChanges() override { FlushBeforeChanges(); }
    void clear() override;
    void addLine(const QString& line) override;
    void progress(QLatin1StringView what, qint64 done, qint64 total) override;

    // The name of the phase shown before the counts ("scanning", "planning", "moving").
    void setPhase(const QString& phase);
    // Counts for the display; total 0 = unknown.
    void setProgress(long long done, long long total);
    // Removes the progress line (before the program prints its last words).
    void finish();

private:
    void render(bool force);

    bool m_terminal = false;
    bool m_shown = false;
    QString m_phase;
    QString m_status;
    const char* m_statusOf = nullptr; // the progress name m_status was made from
    long long m_done = 0;
    long long m_total = 0;
    long long m_lines = 0;
    QElapsedTimer m_sinceRender;
};

} // namespace plumtide::cli
