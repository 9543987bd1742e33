#pragma once

#include <QByteArray>

namespace sandbox {

// One client request after reassembly: the packet type and the payloads of its packets joined.
struct TdsMessage {
    quint8 type = 0;
    QByteArray payload;
};

}  // namespace sandbox
