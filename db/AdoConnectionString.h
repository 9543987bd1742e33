#pragma once

#include <QList>
#include <QPair>
#include <QString>

namespace db {

// The ADO connection string the program builds,
// "Provider=SQLOLEDB.1;Persist Security Info=True;Initial Catalog=X;Data Source=Y".
// Keys are matched without regard to case or surrounding blanks; values are kept exactly as
// written, blanks included, because the server name is used as the administrator typed it.
// A ';' ends a value only where one of the four keys follows it; otherwise it is part of the
// value (database and server names may hold one).
class AdoConnectionString {
public:
    explicit AdoConnectionString(const QString& text);

    QString initialCatalog() const { return value(QStringLiteral("Initial Catalog")); }
    QString dataSource() const { return value(QStringLiteral("Data Source")); }

private:
    // The last value given for the key; empty when it is missing.
    QString value(const QString& key) const;

    QList<QPair<QString, QString>> m_pairs;
};

}  // namespace db
