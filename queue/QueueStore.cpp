#include "QueueStore.h"

#include <QAtomicInt>
#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QVariant>

namespace {

QAtomicInt connectionCounter;

// Qt binds a null QString as NULL; the columns hold text, empty or not.
QString text(const QString& value) {
    return value.isNull() ? QStringLiteral("") : value;
}

QSqlDatabase database(const QString& name) {
    return QSqlDatabase::database(name, false);
}

} // namespace

QString QueueStore::defaultPath() {
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
           QStringLiteral("/queue.sqlite");
}

QueueStore::QueueStore(QString path)
    : m_Path(std::move(path)),
      m_ConnectionName(
          QStringLiteral("krellin-queue-%1").arg(connectionCounter.fetchAndAddRelaxed(1))) {}

QueueStore::~QueueStore() {
    if (m_Open) {
        flush();
        database(m_ConnectionName).close();
    }
    if (QSqlDatabase::contains(m_ConnectionName))
        QSqlDatabase::removeDatabase(m_ConnectionName);
}

bool QueueStore::open(QString* error) {
    auto fail = [&](const QString& why) {
        m_Error = why;
        if (error)
            *error = why;
        return false;
    };
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QSQLITE")))
        return fail(QStringLiteral("Qt's SQLite driver is missing (Debian: libqt6sql6-sqlite)"));
    if (!QDir().mkpath(QFileInfo(m_Path).absolutePath()))
        return fail(QStringLiteral("cannot make the folder of %1").arg(m_Path));
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_ConnectionName);
    db.setDatabaseName(m_Path);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    if (!db.open())
        return fail(QStringLiteral("%1: %2").arg(m_Path, db.lastError().text()));
    m_Open = true;
    // WAL: a commit appends to the log and a reader never blocks a writer.
    // synchronous=NORMAL syncs the log only at checkpoints: a killed process
    // loses nothing committed (the bytes are in the system's cache and the
    // next open replays the log); only a power cut may lose the last
    // commits, and FULL would cost a disk sync for every finished file.
    if (!exec(QStringLiteral("PRAGMA journal_mode=WAL")) ||
        !exec(QStringLiteral("PRAGMA synchronous=NORMAL")) ||
        !exec(QStringLiteral("CREATE TABLE IF NOT EXISTS items ("
                             "id INTEGER PRIMARY KEY AUTOINCREMENT, job TEXT NOT NULL, "
                             "parent INTEGER NOT NULL, direction INTEGER NOT NULL, "
                             "folder INTEGER NOT NULL, remote TEXT NOT NULL, "
                             "local TEXT NOT NULL, size INTEGER NOT NULL, "
                             "source_time REAL NOT NULL, state INTEGER NOT NULL, "
                             "bytes_done INTEGER NOT NULL, attempts INTEGER NOT NULL, "
                             "last_error TEXT NOT NULL, verified TEXT NOT NULL)")) ||
        !exec(QStringLiteral("CREATE INDEX IF NOT EXISTS items_job ON items(job, id)")) ||
        !exec(QStringLiteral("CREATE TABLE IF NOT EXISTS jobs ("
                             "job TEXT PRIMARY KEY, policy INTEGER NOT NULL)"))) {
        const QString why = m_Error;
        m_Open = false;
        return fail(why);
    }
    return true;
}

bool QueueStore::exec(const QString& statement) {
    QSqlQuery query(database(m_ConnectionName));
    if (query.exec(statement))
        return true;
    m_Error = QStringLiteral("%1: %2").arg(m_Path, query.lastError().text());
    return false;
}

QList<QueueItem> QueueStore::load(const QString& job) {
    QList<QueueItem> items;
    if (!m_Open)
        return items;
    QSqlQuery query(database(m_ConnectionName));
    query.setForwardOnly(true);
    query.prepare(QStringLiteral(
        "SELECT id, parent, direction, folder, remote, local, size, source_time, state, "
        "bytes_done, attempts, last_error, verified FROM items WHERE job = ? ORDER BY id"));
    query.addBindValue(text(job));
    if (!query.exec()) {
        m_Error = query.lastError().text();
        return items;
    }
    while (query.next()) {
        QueueItem item;
        item.id = query.value(0).toLongLong();
        item.parent = query.value(1).toLongLong();
        item.direction = QueueItem::Direction(query.value(2).toInt());
        item.folder = query.value(3).toBool();
        item.remotePath = query.value(4).toString();
        item.localPath = query.value(5).toString();
        item.size = query.value(6).toLongLong();
        item.sourceTime = query.value(7).toDouble();
        const int state = query.value(8).toInt();
        item.state = state >= 0 && state <= 4 ? QueueItem::State(state) : QueueItem::State::Queued;
        item.bytesDone = query.value(9).toLongLong();
        item.attempts = query.value(10).toInt();
        item.lastError = query.value(11).toString();
        item.verifiedWith = query.value(12).toString();
        items.append(item);
    }
    return items;
}

bool QueueStore::insert(const QString& job, QList<QueueItem>& items) {
    if (!m_Open)
        return false;
    QSqlDatabase db = database(m_ConnectionName);
    db.transaction();
    QSqlQuery query(db);
    query.prepare(QStringLiteral(
        "INSERT INTO items (job, parent, direction, folder, remote, local, size, source_time, "
        "state, bytes_done, attempts, last_error, verified) "
        "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    for (QueueItem& item : items) {
        query.addBindValue(text(job));
        query.addBindValue(item.parent);
        query.addBindValue(int(item.direction));
        query.addBindValue(item.folder ? 1 : 0);
        query.addBindValue(text(item.remotePath));
        query.addBindValue(text(item.localPath));
        query.addBindValue(item.size);
        query.addBindValue(item.sourceTime);
        query.addBindValue(int(item.state));
        query.addBindValue(item.bytesDone);
        query.addBindValue(item.attempts);
        query.addBindValue(text(item.lastError));
        query.addBindValue(text(item.verifiedWith));
        if (!query.exec()) {
            m_Error = query.lastError().text();
            db.rollback();
            return false;
        }
        item.id = query.lastInsertId().toLongLong();
    }
    // Whatever else changed goes in the same commit: a folder's "done" and
    // its entries land together.
    return flush() && db.commit();
}

void QueueStore::update(const QueueItem& item) {
    if (item.id > 0)
        m_Pending.insert(item.id, item);
}

bool QueueStore::flush() {
    if (!m_Open || m_Pending.isEmpty())
        return m_Open;
    QSqlDatabase db = database(m_ConnectionName);
    // Inside insert()'s transaction this opens none of its own.
    const bool own = db.transaction();
    QSqlQuery query(db);
    query.prepare(QStringLiteral("UPDATE items SET state = ?, bytes_done = ?, attempts = ?, "
                                 "last_error = ?, verified = ?, local = ?, remote = ? "
                                 "WHERE id = ?"));
    bool ok = true;
    for (const QueueItem& item : std::as_const(m_Pending)) {
        query.addBindValue(int(item.state));
        query.addBindValue(item.bytesDone);
        query.addBindValue(item.attempts);
        query.addBindValue(text(item.lastError));
        query.addBindValue(text(item.verifiedWith));
        query.addBindValue(text(item.localPath));
        query.addBindValue(text(item.remotePath));
        query.addBindValue(item.id);
        if (!query.exec()) {
            m_Error = query.lastError().text();
            ok = false;
            break;
        }
    }
    m_Pending.clear();
    if (own)
        ok = db.commit() && ok;
    return ok;
}

bool QueueStore::removeJob(const QString& job) {
    if (!m_Open)
        return false;
    flush();
    QSqlQuery query(database(m_ConnectionName));
    query.prepare(QStringLiteral("DELETE FROM items WHERE job = ?"));
    query.addBindValue(text(job));
    bool ok = query.exec();
    query.prepare(QStringLiteral("DELETE FROM jobs WHERE job = ?"));
    query.addBindValue(text(job));
    return query.exec() && ok;
}

bool QueueStore::removeItem(qint64 id) {
    m_Pending.remove(id);
    QSqlQuery query(database(m_ConnectionName));
    query.prepare(QStringLiteral("DELETE FROM items WHERE id = ?"));
    query.addBindValue(id);
    return m_Open && query.exec();
}

int QueueStore::jobPolicy(const QString& job) {
    QSqlQuery query(database(m_ConnectionName));
    query.prepare(QStringLiteral("SELECT policy FROM jobs WHERE job = ?"));
    query.addBindValue(text(job));
    if (m_Open && query.exec() && query.next())
        return query.value(0).toInt();
    return -1;
}

void QueueStore::setJobPolicy(const QString& job, int policy) {
    QSqlQuery query(database(m_ConnectionName));
    query.prepare(QStringLiteral("INSERT OR REPLACE INTO jobs (job, policy) VALUES (?, ?)"));
    query.addBindValue(text(job));
    query.addBindValue(policy);
    if (m_Open)
        query.exec();
}

QStringList QueueStore::interruptedJobs() {
    QStringList jobs;
    QSqlQuery query(database(m_ConnectionName));
    if (!m_Open || !query.exec(QStringLiteral("SELECT DISTINCT job FROM items WHERE state IN "
                                              "(0, 1) ORDER BY job")))
        return jobs;
    while (query.next())
        jobs << query.value(0).toString();
    return jobs;
}
