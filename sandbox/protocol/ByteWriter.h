#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace sandbox {

// Appends the little- and big-endian integers and length-prefixed texts that tokens are made of.
class ByteWriter {
public:
    void u8(quint8 value);
    void u16le(quint16 value);
    void u32le(quint32 value);
    void u64le(quint64 value);
    void u16be(quint16 value);
    void u32be(quint32 value);
    void bytes(QByteArrayView data);
    // UTF-16LE code units without a length.
    void utf16(QStringView text);
    // One-byte character count, then UTF-16LE; longer texts are cut at 255 units.
    void bVarChar(QStringView text);
    // Two-byte character count, then UTF-16LE.
    void usVarChar(QStringView text);
    // One-byte byte count, then the bytes.
    void bVarByte(QByteArrayView data);

    qsizetype size() const { return m_data.size(); }
    bool isEmpty() const { return m_data.isEmpty(); }
    const QByteArray& data() const { return m_data; }
    QByteArray take();

private:
    QByteArray m_data;
};

}  // namespace sandbox
