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
    const auto compare = [&lines](const QString& name, const QStringList& from, const QStringList& to, const QString& mark) {
        QStringList only;
        std::set_difference(from.cbegin(), from.cend(), to.cbegin(), to.cend(), std::back_inserter(only));
        for (const QString& row : only)
            lines.append(QStringLiteral("%1 %2: %3").arg(mark, name, row));
    };
    for (auto table = m_rows.cbegin(); table != m_rows.cend(); ++table) {
        if (!later.m_rows.contains(table.key()))
            lines.append("dropped " + table.key());
        else
            compare(table.key(), table.value(), later.m_rows[table.key()], "-");
    }
    for (auto table = later.m_rows.cbegin(); table != later.m_rows.cend(); ++table) {
        if (!m_rows.contains(table.key()))
            lines.append("created " + table.key());
        else
            compare(table.key(), table.value(), m_rows[table.key()], "+");
    }
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
