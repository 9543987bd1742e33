#pragma once

#include <QString>
#include <stdexcept>

namespace db {

// The one failure of the database layer. description() is what a user sees: the driver's text,
// which carries the server's own message; the password never appears in it.
class DbError : public std::runtime_error {
public:
    DbError(const QString& description, const QString& sqlState = {}, int nativeError = 0);

    QString description() const { return m_description; }
    QString sqlState() const { return m_sqlState; }
    int nativeError() const { return m_nativeError; }

private:
    QString m_description;
    QString m_sqlState;
    int m_nativeError;
};

}  // namespace db
