#pragma once

#include <QString>
#include <QStringList>

namespace sandbox {

// The folder of databases: one SQLite file per database, found by name without regard to case.
class DataDirectory {
public:
    explicit DataDirectory(QString path);

    // Creates the folder (and the master database) when missing.
    bool ensure(QString* error);
    QString path() const { return m_path; }

    bool hasDatabase(const QString& name) const;
    // Database names as created, master included.
    QStringList databases() const;
    // The file that holds a database; empty when there is none.
    QString fileFor(const QString& name) const;
    // Creates an empty database file; true when it exists afterwards.
    bool createDatabase(const QString& name, QString* error);
    // Deletes a database's file; true when it is gone afterwards. Nothing may have it open.
    bool removeDatabase(const QString& name, QString* error);

    // A name that can be a database: up to 128 characters, none that a file name cannot hold.
    static bool isValidName(const QString& name);

    // Seeding is marked in the folder while it is under way, so that a seed cut short (killed,
    // Ctrl+C, power loss) is found afterwards instead of served as if it were whole.
    bool beginSeeding(QString* error);
    void endSeeding();
    bool seedingInterrupted() const;

private:
    QString m_path;
};

}  // namespace sandbox
