#pragma once

#include "TdsVersion.h"

#include <QByteArrayView>
#include <QString>
#include <optional>

namespace sandbox {

// The procedure a remote procedure call names; the sandbox runs none, but names it in the error.
class RpcRequest {
public:
    static std::optional<RpcRequest> parse(QByteArrayView payload, TdsVersion version);

    QString procedureName() const { return m_procedureName; }

private:
    QString m_procedureName;
};

}  // namespace sandbox
