#pragma once

#include <QString>

namespace db {

// A server name as administrators type it: "(local)", "." and "localhost" (any case) and an
// empty box mean this machine; "host\instance" names an instance; a comma ends the name with a
// port, which must then be 1 to 65535 in decimal digits. Nothing is trimmed: " x" is a host whose
// name starts with a blank, and fails as such.
class ServerAddress {
public:
    explicit ServerAddress(const QString& typed);

    // The host part without port or instance; empty when the text names this machine.
    QString host() const { return m_local ? QString() : m_host; }
    bool isLocal() const { return m_local; }
    QString instance() const { return m_instance; }
    bool hasPort() const { return m_port != 0; }
    int port() const { return m_port; }
    // A comma followed by anything but a port: connecting anyway would reach the default port,
    // quite possibly another server than the one meant.
    bool hasInvalidPort() const { return m_invalidPort; }
    // The text after the last comma, as typed.
    QString portText() const { return m_portText; }

private:
    QString m_host;
    QString m_instance;
    QString m_portText;
    int m_port = 0;
    bool m_invalidPort = false;
    bool m_local = false;
};

}  // namespace db
