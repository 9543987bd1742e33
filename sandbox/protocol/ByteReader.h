#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace sandbox {

// Bounds-checked reads from a received message. Reading past the end yields zeros and
// clears ok(), so a parser can read a whole structure and check once.
class ByteReader {
public:
    explicit ByteReader(QByteArrayView data, qsizetype position = 0);

    bool ok() const { return m_ok; }
    qsizetype size() const { return m_data.size(); }
    qsizetype remaining() const { return m_data.size() - m_position; }
    void seek(qsizetype position);

    quint8 u8();
    quint16 u16le();
    quint32 u32le();
    quint16 u16be();
    // UTF-16LE text of the given number of code units.
    QString utf16(qsizetype units);

private:
    bool take(qsizetype count);

    QByteArrayView m_data;
    qsizetype m_position = 0;
    bool m_ok = true;
};

}  // namespace sandbox
