#include "DataDirectory.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <sqlite3.h>

namespace sandbox {

namespace {

const QString kSuffix = QStringLiteral(".sqlite");
const QString kSeedingMark = QStringLiteral("seeding-incomplete");

}  // namespace

DataDirectory::DataDirectory(QString path)
    : m_path(std::move(path))
{
}

bool DataDirectory::ensure(QString* error)
{
    if (!QDir().mkpath(m_path)) {
        if (error)
            *error = QStringLiteral("cannot create the data folder %1").arg(m_path);
        return false;
    }
    return createDatabase(QStringLiteral("master"), error);
}

bool DataDirectory::isValidName(const QString& name)
{
    if (name.isEmpty() || name.size() > 128 || name.trimmed() != name || name.startsWith(QLatin1Char('.')))
        return false;
    static const QString forbidden = QStringLiteral("/\\:*?\"<>|");
    for (const QChar c : name) {
        if (c.unicode() < 0x20 || forbidden.contains(c))
            return false;
    }
    return true;
}

bool DataDirectory::hasDatabase(const QString& name) const
{
    return !fileFor(name).isEmpty();
}

QStringList DataDirectory::databases() const
{
    const QStringList files = QDir(m_path).entryList({QStringLiteral("*") + kSuffix}, QDir::Files, QDir::Name | QDir::IgnoreCase);
    QStringList names;
    for (const QString& file : files) {
        const QString name = file.chopped(kSuffix.size());
        if (name.compare(QLatin1String("master"), Qt::CaseInsensitive) == 0)
            names.prepend(name);
        else if (isValidName(name))
            names.append(name);
    }
    return names;
}

QString DataDirectory::fileFor(const QString& name) const
{
    if (!isValidName(name))
        return {};
    // Listed rather than probed: a probe would succeed in any case on Windows and lose the
    // spelling the database was created with.
    const QDir dir(m_path);
    const QStringList files = dir.entryList({QStringLiteral("*") + kSuffix}, QDir::Files);
    for (const QString& file : files) {
        if (file.chopped(kSuffix.size()).compare(name, Qt::CaseInsensitive) == 0)
            return dir.filePath(file);
    }
    return {};
}

bool DataDirectory::createDatabase(const QString& name, QString* error)
{
    if (!isValidName(name)) {
        if (error)
            *error = QStringLiteral("'%1' is not a valid database name").arg(name);
        return false;
    }
    if (hasDatabase(name))
        return true;
    const QString file = QDir(m_path).filePath(name + kSuffix);
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(file.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (rc == SQLITE_OK)
        // Write-ahead logging lets one connection read while another writes the same database.
        rc = sqlite3_exec(db, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK && error)
        *error = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QStringLiteral("out of memory");
    sqlite3_close_v2(db);
    return rc == SQLITE_OK;
}

bool DataDirectory::removeDatabase(const QString& name, QString* error)
{
    const QString file = fileFor(name);
    if (file.isEmpty())
        return true;
    QFile::remove(file + QStringLiteral("-wal"));
    QFile::remove(file + QStringLiteral("-shm"));
    if (!QFile::remove(file)) {
        if (error)
            *error = QStringLiteral("cannot remove %1").arg(file);
        return false;
    }
    return true;
}

bool DataDirectory::beginSeeding(QString* error)
{
    QFile mark(QDir(m_path).filePath(kSeedingMark));
    if (mark.open(QIODevice::WriteOnly) && mark.write("a demo seed is under way or was cut short\n") > 0 && mark.flush())
        return true;
    if (error)
        *error = QStringLiteral("cannot write %1: %2").arg(mark.fileName(), mark.errorString());
    return false;
}

void DataDirectory::endSeeding()
{
    QFile::remove(QDir(m_path).filePath(kSeedingMark));
}

bool DataDirectory::seedingInterrupted() const
{
    return QFileInfo::exists(QDir(m_path).filePath(kSeedingMark));
}

}  // namespace sandbox
