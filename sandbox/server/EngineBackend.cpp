#include "EngineBackend.h"

#include "engine/Session.h"

namespace sandbox {

namespace {

class EngineSession : public BackendSession {
public:
    EngineSession(const DataDirectory& directory, const QString& database) : m_session(directory, database) {}
    QString database() const override { return m_session.database(); }
    std::unique_ptr<BatchExecution> run(const QString& batch) override { return m_session.run(batch); }

private:
    Session m_session;
};

}  // namespace

EngineBackend::EngineBackend(const QString& dataDir) : m_directory(dataDir) {}

bool EngineBackend::prepare(QString* error)
{
    return m_directory.ensure(error);
}

bool EngineBackend::hasDatabase(const QString& name) const
{
    return m_directory.hasDatabase(name);
}

std::unique_ptr<BackendSession> EngineBackend::open(const QString& database)
{
    if (!m_directory.hasDatabase(database))
        return nullptr;
    return std::make_unique<EngineSession>(m_directory, database);
}

}  // namespace sandbox
