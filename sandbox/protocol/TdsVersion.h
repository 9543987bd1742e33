#pragma once

#include <QString>

namespace sandbox {

// The protocol revision agreed at login. 7.1 lacks the request headers and uses
// shorter row counts, user types and error line numbers than 7.2 and later.
class TdsVersion {
public:
    static constexpr quint32 V7_1 = 0x71000001;
    static constexpr quint32 V7_2 = 0x72090002;
    static constexpr quint32 V7_3 = 0x730B0003;
    static constexpr quint32 V7_4 = 0x74000004;

    TdsVersion() = default;
    // The revision to acknowledge for what a client's login asks for: 7.1 to 7.4.
    static TdsVersion negotiate(quint32 requested);

    quint32 value() const { return m_value; }
    bool atLeast72() const { return m_value >= V7_2; }
    QString name() const;

    friend bool operator==(TdsVersion a, TdsVersion b) { return a.m_value == b.m_value; }

private:
    explicit TdsVersion(quint32 value) : m_value(value) {}
    quint32 m_value = V7_4;
};

}  // namespace sandbox
