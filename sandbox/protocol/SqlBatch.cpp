#include "SqlBatch.h"

#include "ByteReader.h"

namespace sandbox {

namespace {

// Skips the request headers that precede the data of batches and remote calls from 7.2 on.
bool skipAllHeaders(ByteReader& reader, QString* error)
{
    const quint32 total = reader.u32le();
    if (!reader.ok() || total < 4 || total > quint32(reader.size())) {
        if (error)
            *error = QStringLiteral("request headers of %1 bytes do not fit the message").arg(total);
        return false;
    }
    reader.seek(total);
    return true;
}

}  // namespace

std::optional<SqlBatch> SqlBatch::parse(QByteArrayView payload, TdsVersion version, QString* error)
{
    ByteReader reader(payload);
    if (version.atLeast72() && !skipAllHeaders(reader, error))
        return std::nullopt;
    if (reader.remaining() % 2 != 0) {
        if (error)
            *error = QStringLiteral("batch text has an odd number of bytes");
        return std::nullopt;
    }
    SqlBatch batch;
    batch.m_text = reader.utf16(reader.remaining() / 2);
    return batch;
}

}  // namespace sandbox
