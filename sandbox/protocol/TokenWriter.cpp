#include "TokenWriter.h"

#include "TdsDefs.h"

#include <QDate>
#include <QTime>
#include <cstring>

namespace sandbox {

namespace {

constexpr int MaxValueBytes = 8000;
constexpr qint64 TicksPerDay = 300LL * 86400;

// Keeps the whole token length within its two-byte field.
constexpr qsizetype MaxMessageUnits = 4000;

quint8 intWidth(SqlType type)
{
    switch (type) {
    case SqlType::TinyInt:
        return 1;
    case SqlType::SmallInt:
        return 2;
    case SqlType::Int:
        return 4;
    default:
        return 8;
    }
}

bool isNull(const QVariant& value)
{
    return !value.isValid() || value.isNull();
}

}  // namespace

TokenWriter::TokenWriter(TdsVersion version, QString serverName)
    : m_version(version), m_serverName(std::move(serverName)),
      m_gbk("GBK", QStringConverter::Flag::Stateless)
{
}

QByteArray TokenWriter::chineseCollation()
{
    return QByteArray::fromHex("0408D00000");
}

int TokenWriter::maxBytes(const ColumnInfo& column)
{
    switch (column.type) {
    case SqlType::VarChar:
        return column.size > 0 && column.size <= MaxValueBytes ? column.size : MaxValueBytes;
    case SqlType::NVarChar:
        return column.size > 0 && column.size <= MaxValueBytes / 2 ? column.size * 2 : MaxValueBytes;
    case SqlType::Bit:
        return 1;
    case SqlType::Float:
    case SqlType::DateTime:
        return 8;
    default:
        return intWidth(column.type);
    }
}

std::pair<qint32, quint32> TokenWriter::dateTimeParts(const QDateTime& value)
{
    qint64 days = QDate(1900, 1, 1).daysTo(value.date());
    qint64 ticks = (qint64(value.time().msecsSinceStartOfDay()) * 3 + 5) / 10;
    if (ticks >= TicksPerDay) {
        ++days;
        ticks -= TicksPerDay;
    }
    return {static_cast<qint32>(days), static_cast<quint32>(ticks)};
}

void TokenWriter::loginAck(const QString& program, quint8 major, quint8 minor, quint16 build)
{
    const QString name = program.left(255);
    m_out.u8(tds::LoginAckToken);
    // Clients derive the program name's length from the token length, so it must be exact.
    m_out.u16le(static_cast<quint16>(10 + 2 * name.size()));
    m_out.u8(1);  // SQL interface
    m_out.u32be(m_version.value());
    m_out.bVarChar(name);
    m_out.u8(major);
    m_out.u8(minor);
    m_out.u16be(build);
}

void TokenWriter::envText(quint8 type, const QString& newValue, const QString& oldValue)
{
    const QString newText = newValue.left(255);
    const QString oldText = oldValue.left(255);
    m_out.u8(tds::EnvChangeToken);
    m_out.u16le(static_cast<quint16>(3 + 2 * (newText.size() + oldText.size())));
    m_out.u8(type);
    m_out.bVarChar(newText);
    m_out.bVarChar(oldText);
}

void TokenWriter::envDatabase(const QString& newName, const QString& oldName)
{
    envText(1, newName, oldName);
}

void TokenWriter::envLanguage(const QString& newName, const QString& oldName)
{
    envText(2, newName, oldName);
}

void TokenWriter::envPacketSize(int newSize, int oldSize)
{
    envText(4, QString::number(newSize), QString::number(oldSize));
}

void TokenWriter::envCollation(QByteArrayView collation)
{
    const QByteArrayView bytes = collation.first(qMin<qsizetype>(collation.size(), 255));
    m_out.u8(tds::EnvChangeToken);
    m_out.u16le(static_cast<quint16>(3 + bytes.size()));
    m_out.u8(7);
    m_out.bVarByte(bytes);
    m_out.u8(0);
}

void TokenWriter::info(const SqlError& message)
{
    this->message(tds::InfoToken, message);
}

void TokenWriter::error(const SqlError& error)
{
    message(tds::ErrorToken, error);
}

void TokenWriter::message(quint8 token, const SqlError& message)
{
    const QString text = message.message.left(MaxMessageUnits);
    const QString server = m_serverName.left(255);
    const int lineBytes = m_version.atLeast72() ? 4 : 2;
    m_out.u8(token);
    m_out.u16le(static_cast<quint16>(4 + 1 + 1 + 2 + 2 * text.size() + 1 + 2 * server.size() + 1 + lineBytes));
    m_out.u32le(static_cast<quint32>(message.number));
    m_out.u8(static_cast<quint8>(message.state));
    m_out.u8(static_cast<quint8>(message.severity));
    m_out.usVarChar(text);
    m_out.bVarChar(server);
    m_out.bVarChar(QString());  // procedure
    if (m_version.atLeast72())
        m_out.u32le(1);
    else
        m_out.u16le(1);
}

void TokenWriter::columns(const QVector<ColumnInfo>& columns)
{
    m_columns = columns;
    m_out.u8(tds::ColMetadataToken);
    m_out.u16le(static_cast<quint16>(columns.size()));
    for (const ColumnInfo& column : columns) {
        if (m_version.atLeast72())
            m_out.u32le(0);  // user type
        else
            m_out.u16le(0);
        m_out.u16le(column.nullable ? 0x0001 : 0x0000);
        switch (column.type) {
        case SqlType::TinyInt:
        case SqlType::SmallInt:
        case SqlType::Int:
        case SqlType::BigInt:
            m_out.u8(tds::IntN);
            m_out.u8(intWidth(column.type));
            break;
        case SqlType::Bit:
            m_out.u8(tds::BitN);
            m_out.u8(1);
            break;
        case SqlType::Float:
            m_out.u8(tds::FltN);
            m_out.u8(8);
            break;
        case SqlType::DateTime:
            m_out.u8(tds::DateTimeN);
            m_out.u8(8);
            break;
        case SqlType::VarChar:
            m_out.u8(tds::BigVarChar);
            m_out.u16le(static_cast<quint16>(maxBytes(column)));
            m_out.bytes(chineseCollation());
            break;
        case SqlType::NVarChar:
            m_out.u8(tds::NVarCharType);
            m_out.u16le(static_cast<quint16>(maxBytes(column)));
            m_out.bytes(chineseCollation());
            break;
        }
        m_out.bVarChar(column.name);
    }
}

void TokenWriter::row(const QVector<QVariant>& values)
{
    m_out.u8(tds::RowToken);
    for (qsizetype i = 0; i < m_columns.size(); ++i)
        value(m_columns[i], i < values.size() ? values[i] : QVariant());
}

void TokenWriter::value(const ColumnInfo& column, const QVariant& value)
{
    const bool null = isNull(value);
    switch (column.type) {
    case SqlType::TinyInt:
    case SqlType::SmallInt:
    case SqlType::Int:
    case SqlType::BigInt: {
        if (null) {
            m_out.u8(0);
            return;
        }
        const quint8 width = intWidth(column.type);
        const auto number = static_cast<quint64>(value.toLongLong());
        m_out.u8(width);
        for (int b = 0; b < width; ++b)
            m_out.u8(static_cast<quint8>(number >> (8 * b)));
        return;
    }
    case SqlType::Bit:
        if (null) {
            m_out.u8(0);
            return;
        }
        m_out.u8(1);
        m_out.u8(value.toLongLong() != 0 ? 1 : 0);
        return;
    case SqlType::Float: {
        if (null) {
            m_out.u8(0);
            return;
        }
        const double number = value.toDouble();
        quint64 bits = 0;
        std::memcpy(&bits, &number, sizeof bits);
        m_out.u8(8);
        m_out.u64le(bits);
        return;
    }
    case SqlType::DateTime: {
        const QDateTime moment = null ? QDateTime() : value.toDateTime();
        if (!moment.isValid()) {
            m_out.u8(0);
            return;
        }
        const auto [days, ticks] = dateTimeParts(moment);
        m_out.u8(8);
        m_out.u32le(static_cast<quint32>(days));
        m_out.u32le(ticks);
        return;
    }
    case SqlType::VarChar: {
        if (null) {
            m_out.u16le(0xFFFF);
            return;
        }
        const QByteArray bytes = toGbk(value.toString(), maxBytes(column));
        m_out.u16le(static_cast<quint16>(bytes.size()));
        m_out.bytes(bytes);
        return;
    }
    case SqlType::NVarChar: {
        if (null) {
            m_out.u16le(0xFFFF);
            return;
        }
        const QString text = value.toString();
        qsizetype units = qMin<qsizetype>(text.size(), maxBytes(column) / 2);
        // Never leave half of a surrogate pair at the cut.
        if (units < text.size() && units > 0 && text[units - 1].isHighSurrogate())
            --units;
        m_out.u16le(static_cast<quint16>(units * 2));
        m_out.utf16(QStringView(text).first(units));
        return;
    }
    }
}

QByteArray TokenWriter::toGbk(const QString& text, int limit)
{
    QByteArray bytes = m_gbk.encode(text);
    if (bytes.size() <= limit)
        return bytes;
    // Too long for the declared width: keep the whole characters that fit.
    QByteArray cut;
    qsizetype i = 0;
    while (i < text.size()) {
        const qsizetype units = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QByteArray one = m_gbk.encode(QStringView(text).sliced(i, units));
        if (cut.size() + one.size() > limit)
            break;
        cut += one;
        i += units;
    }
    return cut;
}

void TokenWriter::done(quint16 status, quint64 rowCount, quint16 currentCommand)
{
    m_out.u8(tds::DoneToken);
    m_out.u16le(status);
    m_out.u16le(currentCommand);
    if (m_version.atLeast72())
        m_out.u64le(rowCount);
    else
        m_out.u32le(static_cast<quint32>(rowCount));
}

}  // namespace sandbox
