#pragma once

#include "DbError.h"

namespace db {

// A call the user cancelled while it waited on the server. It travels the paths of any other
// failure; only its box differs. abandoned(): the driver did not return in time, so the call
// was left to finish in the background and its connection must be opened afresh.
class CancelledError : public DbError {
public:
    explicit CancelledError(bool abandoned)
        : DbError(QStringLiteral("操作已取消")), m_abandoned(abandoned)
    {
    }

    bool abandoned() const { return m_abandoned; }

private:
    bool m_abandoned;
};

}  // namespace db
