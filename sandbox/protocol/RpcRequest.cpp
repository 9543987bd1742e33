#include "RpcRequest.h"

#include "ByteReader.h"

#include <array>

namespace sandbox {

std::optional<RpcRequest> RpcRequest::parse(QByteArrayView payload, TdsVersion version)
{
    // Well-known procedures may be sent as a number instead of a name.
    static const std::array<const char*, 16> wellKnown = {
        "", "sp_cursor", "sp_cursoropen", "sp_cursorprepare", "sp_cursorexecute", "sp_cursorprepexec",
        "sp_cursorunprepare", "sp_cursorfetch", "sp_cursoroption", "sp_cursorclose", "sp_executesql",
        "sp_prepare", "sp_execute", "sp_prepexec", "sp_prepexecrpc", "sp_unprepare"};

    ByteReader reader(payload);
    if (version.atLeast72()) {
        const quint32 total = reader.u32le();
        if (!reader.ok() || total < 4 || total > quint32(payload.size()))
            return std::nullopt;
        reader.seek(total);
    }
    RpcRequest request;
    const quint16 length = reader.u16le();
    if (length == 0xFFFF) {
        const quint16 id = reader.u16le();
        request.m_procedureName = id < wellKnown.size() ? QString::fromLatin1(wellKnown[id])
                                                        : QStringLiteral("#%1").arg(id);
    } else {
        request.m_procedureName = reader.utf16(length);
    }
    if (!reader.ok())
        return std::nullopt;
    return request;
}

}  // namespace sandbox
