#pragma once

#include <QList>
#include <QString>
#include <stdexcept>

namespace db {

// One diagnostic record a driver left after a failed call.
struct DiagnosticRecord {
    QString sqlState;
    int nativeError = 0;
    QString message;
};

// The one failure of the database layer. description() is what a user sees: where the layer
// recognises the situation, one Chinese sentence on what went wrong and what to check, then the
// driver's text unchanged, which carries the server's own message; the password never appears in it.
class DbError : public std::runtime_error {
public:
    DbError(const QString& description, const QString& sqlState = {}, int nativeError = 0,
            const QList<DiagnosticRecord>& records = {});

    QString description() const { return m_description; }
    QString sqlState() const { return m_sqlState; }
    int nativeError() const { return m_nativeError; }
    // Every record the driver gave, in its order; empty for the layer's own errors.
    const QList<DiagnosticRecord>& records() const { return m_records; }

    // The same failure, with a sentence put in front of its description.
    DbError explained(const QString& sentence) const;

private:
    QString m_description;
    QString m_sqlState;
    int m_nativeError;
    QList<DiagnosticRecord> m_records;
};

}  // namespace db
