#include "DatabaseSnapshot.h"

#include "engine/Fixture.h"

#include <QDateTime>
#include <algorithm>

DatabaseSnapshot DatabaseSnapshot::take(sandbox::Fixture& fixture)
{
    DatabaseSnapshot snapshot;
    for (const QString& database : fixture.directory().databases()) {
        for (const QVariantList& name : fixture.rows(database, QStringLiteral("select name from sysobjects where xtype='U'"))) {
            const QString table = name.value(0).toString();
            const QString from = QStringLiteral(" from [%1]").arg(QString(table).replace(']', "]]"));
            QStringList& rows = snapshot.m_rows[key(database, table)];
            for (const QVariantList& row : fixture.rows(database, "select *" + from))
                rows.append(rowText(row));
            rows.sort();
        }
    }
    return snapshot;
}

QStringList DatabaseSnapshot::differences(const DatabaseSnapshot& later) const
{
    QStringList lines;
    // Rows and tables in `from` that `to` lacks.
    const auto only = [&lines](const Tables& from, const Tables& to, const QString& mark, const QString& missing) {
        for (auto table = from.cbegin(); table != from.cend(); ++table) {
            if (!to.contains(table.key())) {
                lines.append(missing + table.key());
                continue;
            }
            const QStringList& other = to[table.key()];
            QStringList rows;
            std::set_difference(table->cbegin(), table->cend(), other.cbegin(), other.cend(), std::back_inserter(rows));
            for (const QString& row : rows)
                lines.append(QStringLiteral("%1 %2: %3").arg(mark, table.key(), row));
        }
    };
    only(m_rows, later.m_rows, "-", "dropped ");
    only(later.m_rows, m_rows, "+", "created ");
    lines.sort();
    return lines;
}

QString DatabaseSnapshot::removed(const QString& database, const QString& table, const QVariantList& row)
{
    return QStringLiteral("- %1: %2").arg(key(database, table), rowText(row));
}

QString DatabaseSnapshot::dropped(const QString& database, const QString& table)
{
    return "dropped " + key(database, table);
}

QString DatabaseSnapshot::rowText(const QVariantList& row)
{
    QStringList values;
    for (const QVariant& value : row) {
        values.append(value.isNull() ? QStringLiteral("NULL")
                                     : value.typeId() == QMetaType::QDateTime ? value.toDateTime().toString("yyyy-MM-dd HH:mm:ss")
                                                                             : value.toString());
    }
    return values.join(QStringLiteral(" | "));
}
