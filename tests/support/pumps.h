#pragma once

// Pumps and Details sinks for tests and benchmarks: they drive the core's long loops
// without an event loop.

#include "core/pump.h"

#include <QStringList>

namespace plumtide
{

// Never aborts, runs nothing: for callers that have no event loop.
class NullPump : public Pump
{
public:
    void processEvents() override { }
    bool abortRequested() const override { return false; }
};

// Requests abort once `processEvents` has been called `calls` times (0: from the start),
// so tests can stop an operation at a chosen point.
class AbortAfterPump : public Pump
{
public:
    explicit AbortAfterPump(long long calls)
        : m_limit(calls)
    {
    }
    void processEvents() override { ++m_calls; }
    bool abortRequested() const override { return m_calls >= m_limit; }
    long long calls() const { return m_calls; }

private:
    long long m_limit;
    long long m_calls = 0;
};

// Drops every line.
class NullDetails : public DetailsSink
{
public:
    void clear() override { }
    void addLine(const QString&) override { }
    void progress(QLatin1StringView, qint64, qint64) override { }
};

// Keeps the lines since the last clear, as the `Details` box would show them.
class CollectingDetails : public DetailsSink
{
public:
    void clear() override
    {
        m_lines.clear();
        ++m_clears;
    }
    void addLine(const QString& line) override { m_lines.append(line); }
    const QStringList& lines() const { return m_lines; }
    int clears() const { return m_clears; }

private:
    QStringList m_lines;
    int m_clears = 0;
};

} // namespace plumtide
