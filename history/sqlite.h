#pragma once

#include "platform/errors.h"

#include <QString>
#include <QtGlobal>

#include <initializer_list>
#include <memory>
#include <variant>

struct sqlite3;
struct sqlite3_stmt;

namespace plumtide
{

// A failure of the history database, with SQLite's message.
class HistoryError : public PlumtideError
{
public:
    using PlumtideError::PlumtideError;
};

// SQLite found the file damaged, or not a database at all: what it held cannot be read.
class HistoryDamaged : public HistoryError
{
public:
    using HistoryError::HistoryError;
};

// One open SQLite database; closed when destroyed. Everything that fails throws
// HistoryError.
class TSqlite
{
public:
    // Opens the file, creating it when `create`: for reading and writing where the file
    // allows it. (Connections of one process share the WAL index; one opened read-only would
    // make it read-only for the others.)
    TSqlite(const QString& path, bool create);
    ~TSqlite();
    TSqlite(const TSqlite&) = delete;
    TSqlite& operator=(const TSqlite&) = delete;

    // Runs statements that return nothing (several, separated by ";").
    void exec(const char* sql);
    // Whether the file could be opened for reading only.
    bool readOnly() const;
    // Closing it leaves the write-ahead log as it is, where the last connection to close
    // would otherwise copy it into the file: for connections that only read.
    void keepLogOnClose();
    // A copy of the whole database in memory, for reading and changing without touching
    // the file.
    std::unique_ptr<TSqlite> copyInMemory() const;
    // The first column of the first row of a query (0 when it gives none).
    qint64 number(const char* sql);
    qint64 lastInsertId() const;
    // Rows changed by the last statement.
    int changes() const;
    sqlite3* handle() const { return m_db; }
    [[noreturn]] void fail(const char* what) const;

private:
    sqlite3* m_db = nullptr;
};

using TSqlValue = std::variant<std::nullptr_t, qint64, QString>;

// A prepared statement, reset at each bind().
class TStatement
{
public:
    TStatement(const TSqlite& db, const char* sql);
    TStatement(const TSqlite& db, const QByteArray& sql)
        : TStatement(db, sql.constData())
    {
    }
    ~TStatement();
    TStatement(const TStatement&) = delete;
    TStatement& operator=(const TStatement&) = delete;

    // Binds the parameters in order (after a reset).
    TStatement& bind(std::initializer_list<TSqlValue> values);
    // The next row: true while there is one.
    bool step();
    // Runs it to its end.
    void run();

    qint64 integer(int column) const;
    QString text(int column) const;
    bool isNull(int column) const;

private:
    const TSqlite& m_db;
    sqlite3_stmt* m_statement = nullptr;
};

// A transaction that rolls back unless committed.
class TTransaction
{
public:
    explicit TTransaction(TSqlite& db);
    ~TTransaction();
    TTransaction(const TTransaction&) = delete;
    TTransaction& operator=(const TTransaction&) = delete;
    void commit();

private:
    TSqlite& m_db;
    bool m_open = true;
};

} // namespace plumtide
