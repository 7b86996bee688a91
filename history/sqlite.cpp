#include "history/sqlite.h"

#include <sqlite3.h>

namespace plumtide
{

TSqlite::TSqlite(const QString& path, bool create)
{
    const int flags
        = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0) | SQLITE_OPEN_NOMUTEX;
    if (sqlite3_open_v2(path.toUtf8().constData(), &m_db, flags, nullptr) != SQLITE_OK) {
        const QString message = QString::fromUtf8(m_db ? sqlite3_errmsg(m_db) : "out of memory");
        sqlite3_close(m_db);
        m_db = nullptr;
        throw HistoryError(QStringLiteral("Cannot open %1: %2").arg(path, message));
    }
    // Another Plumtide writing at the same moment holds the file only briefly.
    sqlite3_busy_timeout(m_db, 5000);
    sqlite3_extended_result_codes(m_db, 1);
}

TSqlite::~TSqlite()
{
    sqlite3_close_v2(m_db);
}

void TSqlite::fail(const char* what) const
{
    const QString message = QStringLiteral("%1: %2").arg(
        QString::fromUtf8(what), QString::fromUtf8(sqlite3_errmsg(m_db)));
    const int code = sqlite3_errcode(m_db) & 0xff;
    if (code == SQLITE_CORRUPT || code == SQLITE_NOTADB)
        throw HistoryDamaged(message);
    throw HistoryError(message);
}

void TSqlite::keepLogOnClose()
{
    sqlite3_db_config(m_db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
}

std::unique_ptr<TSqlite> TSqlite::copyInMemory() const
{
    auto copy = std::make_unique<TSqlite>(QStringLiteral(":memory:"), true);
    sqlite3_backup* backup = sqlite3_backup_init(copy->m_db, "main", m_db, "main");
    if (!backup)
        copy->fail("History");
    sqlite3_backup_step(backup, -1);
    if (sqlite3_backup_finish(backup) != SQLITE_OK)
        copy->fail("History");
    return copy;
}

void TSqlite::exec(const char* sql)
{
    if (sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        fail("History");
}

qint64 TSqlite::number(const char* sql)
{
    TStatement query(*this, sql);
    return query.step() ? query.integer(0) : 0;
}

bool TSqlite::readOnly() const
{
    return sqlite3_db_readonly(m_db, "main") == 1;
}

int TSqlite::changes() const
{
    return sqlite3_changes(m_db);
}

qint64 TSqlite::lastInsertId() const
{
    return sqlite3_last_insert_rowid(m_db);
}

TStatement::TStatement(const TSqlite& db, const char* sql)
    : m_db(db)
{
    if (sqlite3_prepare_v2(db.handle(), sql, -1, &m_statement, nullptr) != SQLITE_OK)
        db.fail("History");
}

TStatement::~TStatement()
{
    sqlite3_finalize(m_statement);
}

TStatement& TStatement::bind(std::initializer_list<TSqlValue> values)
{
    sqlite3_reset(m_statement);
    int index = 1;
    for (const TSqlValue& value : values) {
        int result = SQLITE_OK;
        if (const auto* number = std::get_if<qint64>(&value)) {
            result = sqlite3_bind_int64(m_statement, index, *number);
        } else if (const auto* text = std::get_if<QString>(&value)) {
            const QByteArray bytes = text->toUtf8();
            result = sqlite3_bind_text(
                m_statement, index, bytes.constData(), int(bytes.size()), SQLITE_TRANSIENT);
        } else {
            result = sqlite3_bind_null(m_statement, index);
        }
        if (result != SQLITE_OK)
            m_db.fail("History");
        ++index;
    }
    return *this;
}

bool TStatement::step()
{
    const int result = sqlite3_step(m_statement);
    if (result == SQLITE_ROW)
        return true;
    if (result != SQLITE_DONE) {
        sqlite3_reset(m_statement);
        m_db.fail("History");
    }
    return false;
}

void TStatement::run()
{
    while (step()) { }
    sqlite3_reset(m_statement);
}

qint64 TStatement::integer(int column) const
{
    return sqlite3_column_int64(m_statement, column);
}

QString TStatement::text(int column) const
{
    const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(m_statement, column));
    return bytes ? QString::fromUtf8(bytes, sqlite3_column_bytes(m_statement, column)) : QString();
}

bool TStatement::isNull(int column) const
{
    return sqlite3_column_type(m_statement, column) == SQLITE_NULL;
}

TTransaction::TTransaction(TSqlite& db)
    : m_db(db)
{
    m_db.exec("BEGIN IMMEDIATE");
}

TTransaction::~TTransaction()
{
    if (m_open)
        sqlite3_exec(m_db.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
}

void TTransaction::commit()
{
    m_db.exec("COMMIT");
    m_open = false;
}

} // namespace plumtide
