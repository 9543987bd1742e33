#include "Session.h"

#include "SessionBatch.h"
#include "SessionState.h"
#include "TsqlTranslator.h"

#include <QFileInfo>

namespace sandbox {

class Session::Impl {
public:
    std::shared_ptr<SessionState> state;
};

Session::Session(const DataDirectory& directory, const QString& database)
    : m_impl(std::make_unique<Impl>())
{
    m_impl->state = std::make_shared<SessionState>(directory);
    const QString file = directory.fileFor(database);
    m_impl->state->database = file.isEmpty() ? database : QFileInfo(file).completeBaseName();
    QString ignored;
    if (!file.isEmpty())
        m_impl->state->connection = SqliteConnection::open(file, &ignored);
}

Session::~Session() = default;

QString Session::database() const
{
    return m_impl->state->database;
}

std::unique_ptr<SessionBatch> Session::run(const QString& batch)
{
    std::vector<TsqlStatement> statements;
    SqlError error;
    TsqlTranslator translator;
    if (!translator.parse(batch, &statements, &error))
        return std::make_unique<SessionBatch>(m_impl->state, error);
    return std::make_unique<SessionBatch>(m_impl->state, std::move(statements));
}

void Session::setInterrupted(bool interrupted)
{
    if (m_impl->state->connection)
        m_impl->state->connection->setInterrupted(interrupted);
}

}  // namespace sandbox
