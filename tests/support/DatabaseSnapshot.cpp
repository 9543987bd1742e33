#include "DatabaseSnapshot.h"

#include "engine/Fixture.h"

#include <QDateTime>

DatabaseSnapshot DatabaseSnapshot::take(sandbox::Fixture& fixture, const QStringList& countOnly)
{
    DatabaseSnapshot snapshot;
    for (const QString& database : fixture.directory().databases()) {
        const QList<QVariantList> names =
            fixture.rows(database, QStringLiteral("select name from sysobjects where xtype='U'"));
        for (const QVariantList& name : names) {
            const QString table = name.value(0).toString();
            QString bracketed = table;
            bracketed.replace(QLatin1Char(']'), QLatin1String("]]"));
            Table entry;
            entry.name = key(database, table);
            entry.countOnly = countOnly.contains(database + QLatin1Char('.') + table, Qt::CaseInsensitive);
            if (entry.countOnly) {
                entry.count = fixture.value(database, QStringLiteral("select count(*) from [%1]").arg(bracketed))
                                  .toLongLong();
            } else {
                const QList<QVariantList> rows =
                    fixture.rows(database, QStringLiteral("select * from [%1]").arg(bracketed));
                entry.count = rows.size();
                for (const QVariantList& row : rows)
                    ++entry.rows[rowText(row)];
            }
            snapshot.m_tables.insert(entry.name, entry);
        }
    }
    return snapshot;
}

QStringList DatabaseSnapshot::differences(const DatabaseSnapshot& later) const
{
    QStringList lines;
    for (const Table& table : m_tables) {
        const auto found = later.m_tables.constFind(table.name);
        if (found == later.m_tables.cend()) {
            lines.append(QStringLiteral("dropped ") + table.name);
            continue;
        }
        const Table& after = found.value();
        if (table.countOnly || after.countOnly) {
            if (table.count != after.count)
                lines.append(QStringLiteral("count %1: %2 -> %3").arg(table.name).arg(table.count).arg(after.count));
            continue;
        }
        for (auto row = table.rows.cbegin(); row != table.rows.cend(); ++row) {
            for (int gone = row.value() - after.rows.value(row.key()); gone > 0; --gone)
                lines.append(QStringLiteral("- %1: %2").arg(table.name, row.key()));
        }
        for (auto row = after.rows.cbegin(); row != after.rows.cend(); ++row) {
            for (int come = row.value() - table.rows.value(row.key()); come > 0; --come)
                lines.append(QStringLiteral("+ %1: %2").arg(table.name, row.key()));
        }
    }
    for (const Table& table : later.m_tables) {
        if (!m_tables.contains(table.name))
            lines.append(QStringLiteral("created ") + table.name);
    }
    lines.sort();
    return lines;
}

QString DatabaseSnapshot::removed(const QString& database, const QString& table, const QVariantList& row)
{
    return QStringLiteral("- %1: %2").arg(key(database, table), rowText(row));
}

QString DatabaseSnapshot::removedRow(const QString& database, const QString& table, const QString& rowText)
{
    return QStringLiteral("- %1: %2").arg(key(database, table), rowText);
}

QString DatabaseSnapshot::added(const QString& database, const QString& table, const QVariantList& row)
{
    return QStringLiteral("+ %1: %2").arg(key(database, table), rowText(row));
}

QString DatabaseSnapshot::dropped(const QString& database, const QString& table)
{
    return QStringLiteral("dropped ") + key(database, table);
}

QString DatabaseSnapshot::rowText(const QVariantList& row)
{
    QStringList values;
    for (const QVariant& value : row) {
        if (value.isNull())
            values.append(QStringLiteral("NULL"));
        else if (value.typeId() == QMetaType::QDateTime)
            values.append(value.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
        else
            values.append(value.toString());
    }
    return values.join(QStringLiteral(" | "));
}

qint64 DatabaseSnapshot::rowCount(const QString& database, const QString& table) const
{
    return m_tables.value(key(database, table)).count;
}

QStringList DatabaseSnapshot::rowTexts(const QString& database, const QString& table) const
{
    QStringList texts;
    const Table found = m_tables.value(key(database, table));
    for (auto row = found.rows.cbegin(); row != found.rows.cend(); ++row) {
        for (int i = 0; i < row.value(); ++i)
            texts.append(row.key());
    }
    return texts;
}

QString DatabaseSnapshot::key(const QString& database, const QString& table)
{
    return (database + QLatin1Char('.') + table).toLower();
}
