#include "LoginRequest.h"

#include "ByteReader.h"

namespace sandbox {

namespace {

// The fixed part up to and including the attach-file slot; 7.2 adds twelve bytes more,
// which are not needed here.
constexpr qsizetype FixedPart71 = 86;

QString trimTerminators(QString text)
{
    while (text.endsWith(QChar(0)))
        text.chop(1);
    return text;
}

bool setError(QString* error, const QString& reason)
{
    if (error)
        *error = reason;
    return false;
}

}  // namespace

QByteArray LoginRequest::decodePassword(QByteArrayView scrambled)
{
    QByteArray plain(scrambled.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < scrambled.size(); ++i) {
        const auto b = static_cast<quint8>(static_cast<quint8>(scrambled[i]) ^ 0xA5);
        plain[i] = static_cast<char>(static_cast<quint8>((b << 4) | (b >> 4)));
    }
    return plain;
}

std::optional<LoginRequest> LoginRequest::parse(QByteArrayView payload, QString* error)
{
    if (payload.size() < FixedPart71) {
        setError(error, QStringLiteral("login message of %1 bytes is too short").arg(payload.size()));
        return std::nullopt;
    }
    ByteReader fixed(payload);
    const quint32 declared = fixed.u32le();
    if (declared < FixedPart71 || declared > quint32(payload.size())) {
        setError(error, QStringLiteral("login length %1 does not match %2 bytes received").arg(declared).arg(payload.size()));
        return std::nullopt;
    }
    const QByteArrayView message = payload.first(declared);

    LoginRequest login;
    login.m_tdsVersion = fixed.u32le();
    login.m_packetSize = fixed.u32le();

    bool ok = true;
    // Reads one (offset, length) slot of the fixed part; lengths count UTF-16 units.
    auto text = [&](qsizetype slot, bool scrambled = false) -> QString {
        ByteReader entry(message, slot);
        const quint16 offset = entry.u16le();
        const quint16 units = entry.u16le();
        if (!entry.ok() || qsizetype(offset) + qsizetype(units) * 2 > message.size()) {
            ok = false;
            return {};
        }
        if (units == 0)
            return {};
        QByteArrayView raw = message.sliced(offset, units * 2);
        if (!scrambled) {
            ByteReader reader(raw);
            return trimTerminators(reader.utf16(units));
        }
        const QByteArray plain = decodePassword(raw);
        ByteReader reader(plain);
        return trimTerminators(reader.utf16(units));
    };

    login.m_userName = text(40);
    login.m_password = text(44, true);
    login.m_database = text(68);
    if (!ok) {
        setError(error, QStringLiteral("a login field lies outside the message"));
        return std::nullopt;
    }
    return login;
}

}  // namespace sandbox
