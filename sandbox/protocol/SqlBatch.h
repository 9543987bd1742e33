#pragma once

#include "TdsVersion.h"

#include <QByteArrayView>
#include <QString>
#include <optional>

namespace sandbox {

// The statement text of a SQL batch request.
class SqlBatch {
public:
    // From 7.2 on the text follows a block of request headers, skipped by its declared length.
    static std::optional<SqlBatch> parse(QByteArrayView payload, TdsVersion version, QString* error = nullptr);

    QString text() const { return m_text; }

private:
    QString m_text;
};

}  // namespace sandbox
