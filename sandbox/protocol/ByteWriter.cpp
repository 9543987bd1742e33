#include "ByteWriter.h"

#include <QtEndian>

namespace sandbox {

void ByteWriter::u8(quint8 value)
{
    m_data.append(static_cast<char>(value));
}

void ByteWriter::u16le(quint16 value)
{
    char raw[2];
    qToLittleEndian(value, raw);
    m_data.append(raw, 2);
}

void ByteWriter::u32le(quint32 value)
{
    char raw[4];
    qToLittleEndian(value, raw);
    m_data.append(raw, 4);
}

void ByteWriter::u64le(quint64 value)
{
    char raw[8];
    qToLittleEndian(value, raw);
    m_data.append(raw, 8);
}

void ByteWriter::u16be(quint16 value)
{
    char raw[2];
    qToBigEndian(value, raw);
    m_data.append(raw, 2);
}

void ByteWriter::u32be(quint32 value)
{
    char raw[4];
    qToBigEndian(value, raw);
    m_data.append(raw, 4);
}

void ByteWriter::bytes(QByteArrayView data)
{
    m_data.append(data.data(), data.size());
}

void ByteWriter::utf16(QStringView text)
{
    for (const QChar c : text)
        u16le(c.unicode());
}

void ByteWriter::bVarChar(QStringView text)
{
    const QStringView cut = text.left(255);
    u8(static_cast<quint8>(cut.size()));
    utf16(cut);
}

void ByteWriter::usVarChar(QStringView text)
{
    const QStringView cut = text.left(0xFFFF);
    u16le(static_cast<quint16>(cut.size()));
    utf16(cut);
}

void ByteWriter::bVarByte(QByteArrayView data)
{
    const QByteArrayView cut = data.first(qMin<qsizetype>(data.size(), 255));
    u8(static_cast<quint8>(cut.size()));
    bytes(cut);
}

QByteArray ByteWriter::take()
{
    QByteArray out;
    out.swap(m_data);
    return out;
}

}  // namespace sandbox
