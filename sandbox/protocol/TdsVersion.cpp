#include "TdsVersion.h"

namespace sandbox {

TdsVersion TdsVersion::negotiate(quint32 requested)
{
    // The high byte names the revision (0x71..0x74); 7.0 and older are served as 7.1,
    // anything newer as 7.4.
    switch (requested >> 24) {
    case 0x71:
        return TdsVersion(V7_1);
    case 0x72:
        return TdsVersion(V7_2);
    case 0x73:
        return TdsVersion(V7_3);
    default:
        return TdsVersion((requested >> 24) < 0x71 ? V7_1 : V7_4);
    }
}

QString TdsVersion::name() const
{
    return QStringLiteral("7.%1").arg((m_value >> 24) & 0x0F);
}

}  // namespace sandbox
