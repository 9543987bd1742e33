#pragma once

#include "DbError.h"
#include "DriverChoice.h"
#include "DriverConnector.h"
#include "OdbcApi.h"
#include "OdbcDiagnostics.h"

#include <QString>
#include <functional>

namespace db {

// The environment and connection handles behind one Connection, and the server-side recordset
// that may still be reading rows on it. The driver serves one statement at a time, so a reader
// with rows left must read them before anything else is sent (release), and must let go of its
// statement before the connection closes (abandon).
class OdbcHandles : public DriverConnector {
public:
    struct PendingReader {
        std::function<void()> release;
        std::function<void()> abandon;
    };

    OdbcHandles() = default;
    ~OdbcHandles() override;
    OdbcHandles(const OdbcHandles&) = delete;
    OdbcHandles& operator=(const OdbcHandles&) = delete;

    // Allocated on first use; throws DbError when the driver manager cannot be had.
    SQLHENV environment();
    SQLHDBC connection() const { return m_connection; }
    bool isConnected() const { return m_connected; }

    QStringList installedDrivers() override;
    // Throws DbError with the driver's text and records; a driver that cannot be loaded gets a
    // Chinese text naming what to install.
    void connect(const DriverChoice& driver, const QString& odbcConnectionString, int loginTimeoutSeconds) override;
    void disconnect();

    // True once a failed call left the link to the server gone; a connect starts afresh.
    bool linkLost() const { return m_linkLost; }
    // Judges a failed call by its diagnostics and by the driver's own view of the link. Returns
    // true when the link is gone, and tells the handler the first time it finds so.
    bool noteFailure(const QList<OdbcDiagnostics::Record>& records);
    void setLinkLostHandler(std::function<void()> handler) { m_linkLostHandler = std::move(handler); }
    // The error a user sees for a call that lost the link: what happened first, then the driver's text.
    static DbError linkLostError(const DbError& cause);

    void setPendingReader(const void* owner, PendingReader reader);
    void clearPendingReader(const void* owner);
    // Lets the pending reader, if any, take in its remaining rows.
    void releasePendingReader();

private:
    void abandonPendingReader();

    SQLHENV m_environment = SQL_NULL_HENV;
    SQLHDBC m_connection = SQL_NULL_HDBC;
    bool m_connected = false;
    bool m_linkLost = false;
    std::function<void()> m_linkLostHandler;
    const void* m_readerOwner = nullptr;
    PendingReader m_reader;
};

}  // namespace db
