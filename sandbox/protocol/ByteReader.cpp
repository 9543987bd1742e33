#include "ByteReader.h"

#include <QtEndian>

namespace sandbox {

ByteReader::ByteReader(QByteArrayView data, qsizetype position) : m_data(data), m_position(position)
{
    if (position < 0 || position > data.size()) {
        m_position = data.size();
        m_ok = false;
    }
}

void ByteReader::seek(qsizetype position)
{
    if (position < 0 || position > m_data.size()) {
        m_ok = false;
        m_position = m_data.size();
        return;
    }
    m_position = position;
}

bool ByteReader::take(qsizetype count)
{
    if (count < 0 || count > remaining()) {
        m_ok = false;
        m_position = m_data.size();
        return false;
    }
    return true;
}

quint8 ByteReader::u8()
{
    if (!take(1))
        return 0;
    return static_cast<quint8>(m_data[m_position++]);
}

quint16 ByteReader::u16le()
{
    if (!take(2))
        return 0;
    const auto value = qFromLittleEndian<quint16>(m_data.data() + m_position);
    m_position += 2;
    return value;
}

quint32 ByteReader::u32le()
{
    if (!take(4))
        return 0;
    const auto value = qFromLittleEndian<quint32>(m_data.data() + m_position);
    m_position += 4;
    return value;
}

quint16 ByteReader::u16be()
{
    if (!take(2))
        return 0;
    const auto value = qFromBigEndian<quint16>(m_data.data() + m_position);
    m_position += 2;
    return value;
}

QString ByteReader::utf16(qsizetype units)
{
    if (units < 0 || !take(units * 2))
        return {};
    QString text(units, Qt::Uninitialized);
    for (qsizetype i = 0; i < units; ++i)
        text[i] = QChar(qFromLittleEndian<quint16>(m_data.data() + m_position + 2 * i));
    m_position += units * 2;
    return text;
}

}  // namespace sandbox
