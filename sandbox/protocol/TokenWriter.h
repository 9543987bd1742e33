#pragma once

#include "ByteWriter.h"
#include "TdsVersion.h"
#include "engine/SqlTypes.h"

#include <QByteArray>
#include <QDateTime>
#include <QStringEncoder>
#include <QVector>
#include <utility>

namespace sandbox {

// Encodes the reply tokens of the sandbox for the agreed protocol revision.
// Rows are encoded against the columns most recently described.
class TokenWriter {
public:
    explicit TokenWriter(TdsVersion version = {}, QString serverName = {});

    void setVersion(TdsVersion version) { m_version = version; }

    void loginAck(const QString& program, quint8 major, quint8 minor, quint16 build);
    void envDatabase(const QString& newName, const QString& oldName);
    void envLanguage(const QString& newName, const QString& oldName);
    void envPacketSize(int newSize, int oldSize);
    void envCollation(QByteArrayView collation);
    void info(const SqlError& message);
    void error(const SqlError& error);
    void columns(const QVector<ColumnInfo>& columns);
    void row(const QVector<QVariant>& values);
    void done(quint16 status, quint64 rowCount = 0, quint16 currentCommand = 0);

    qsizetype size() const { return m_out.size(); }
    bool isEmpty() const { return m_out.isEmpty(); }
    QByteArray take() { return m_out.take(); }

    // Chinese_PRC_CI_AS: LCID 0x0804, case-, kana- and width-insensitive, sort id 0.
    static QByteArray chineseCollation();
    // The byte limit a column declares on the wire.
    static int maxBytes(const ColumnInfo& column);
    // Days since 1900-01-01 and 1/300 s since midnight, rounded to the nearest tick.
    static std::pair<qint32, quint32> dateTimeParts(const QDateTime& value);

private:
    void envText(quint8 type, const QString& newValue, const QString& oldValue);
    void message(quint8 token, const SqlError& message);
    void value(const ColumnInfo& column, const QVariant& value);
    QByteArray toGbk(const QString& text, int limit);

    ByteWriter m_out;
    TdsVersion m_version;
    QString m_serverName;
    QVector<ColumnInfo> m_columns;
    QStringEncoder m_gbk;
};

}  // namespace sandbox
