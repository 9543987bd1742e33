#pragma once

#include <QString>

namespace db {

// A server name as administrators type it: "(local)", "." and "localhost" (any case) and an
// empty box mean this machine; "host,port" names a port; "host\instance" a named instance.
// Nothing is trimmed: " x" is a host whose name starts with a blank, and fails as such.
class ServerAddress {
public:
    explicit ServerAddress(const QString& typed);

    QString typed() const { return m_typed; }
    // The host part without port or instance; empty when the text names this machine.
    QString host() const { return m_local ? QString() : m_host; }
    bool isLocal() const { return m_local; }
    QString instance() const { return m_instance; }
    bool hasPort() const { return m_port != 0; }
    int port() const { return m_port; }

    static bool isLocalName(const QString& host);

private:
    QString m_typed;
    QString m_host;
    QString m_instance;
    int m_port = 0;
    bool m_local = false;
};

}  // namespace db
