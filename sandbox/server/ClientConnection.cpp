#include "ClientConnection.h"

#include "Backend.h"
#include "FaultInjector.h"
#include "StatementLog.h"
#include "protocol/LoginRequest.h"
#include "protocol/PreloginMessage.h"
#include "protocol/RpcRequest.h"
#include "protocol/SqlBatch.h"
#include "protocol/TdsDefs.h"

namespace sandbox {

namespace {

const QString ProgramName = QStringLiteral("Microsoft SQL Server");
// Reported as 15.0.2000: drivers pick their features from the major version.
constexpr quint8 ProgramMajor = 15;
constexpr quint8 ProgramMinor = 0;
constexpr quint16 ProgramBuild = 2000;

}  // namespace

ClientConnection::ClientConnection(Settings settings)
    : m_settings(std::move(settings)),
      m_packets(tds::DefaultPacketSize, m_settings.spid),
      m_tokens(m_version, m_settings.serverName)
{
}

ClientConnection::~ClientConnection()
{
    if (m_execution)
        m_execution->cancel();
}

SqlError ClientConnection::messageOf(int number, int state, int severity, const QString& text) const
{
    SqlError error;
    error.number = number;
    error.state = state;
    error.severity = severity;
    error.message = text;
    return error;
}

void ClientConnection::handle(const TdsMessage& message)
{
    if (abortRequested())
        return;
    if (message.type == tds::Attention) {
        attention();
        return;
    }
    if (isReplying()) {
        abort(QStringLiteral("request of type %1 while a reply is under way").arg(message.type));
        return;
    }
    switch (m_state) {
    case State::AwaitingPrelogin:
        if (message.type == tds::Prelogin)
            prelogin(message);
        else if (message.type == tds::Login7)
            login(message);
        else
            abort(QStringLiteral("request of type %1 before login").arg(message.type));
        return;
    case State::AwaitingLogin:
        if (message.type == tds::Login7)
            login(message);
        else
            abort(QStringLiteral("request of type %1 before login").arg(message.type));
        return;
    case State::LoggedIn:
        switch (message.type) {
        case tds::SqlBatch:
            batch(message);
            return;
        case tds::Rpc: {
            const auto rpc = RpcRequest::parse(message.payload, m_version);
            if (!rpc) {
                abort(QStringLiteral("malformed remote procedure call"));
                return;
            }
            refuse(messageOf(2812, 62, 16,
                             QStringLiteral("Could not find stored procedure '%1'.").arg(rpc->procedureName())));
            return;
        }
        case tds::TransactionManager:
            refuse(messageOf(50000, 1, 16, QStringLiteral("Transaction requests are not supported by this server.")));
            return;
        default:
            abort(QStringLiteral("unexpected request of type %1").arg(message.type));
            return;
        }
    case State::Closed:
        abort(QStringLiteral("request after a refused login"));
        return;
    }
}

void ClientConnection::prelogin(const TdsMessage& message)
{
    if (!PreloginMessage::parse(message.payload)) {
        abort(QStringLiteral("malformed prelogin"));
        return;
    }
    m_output += m_packets.message(tds::Reply, PreloginMessage::serverReply(ProgramMajor, ProgramMinor, ProgramBuild));
    m_state = State::AwaitingLogin;
}

void ClientConnection::login(const TdsMessage& message)
{
    QString error;
    const auto request = LoginRequest::parse(message.payload, &error);
    if (!request) {
        abort(error);
        return;
    }
    m_version = TdsVersion::negotiate(request->tdsVersion());
    m_tokens.setVersion(m_version);
    const int requestedSize = request->packetSize() == 0 ? tds::DefaultPacketSize : int(qMin<quint32>(request->packetSize(), tds::MaxPacketSize));
    m_packets.setPacketSize(requestedSize);

    if (request->userName().compare(QLatin1String("sa"), Qt::CaseInsensitive) != 0
        || request->password() != m_settings.password) {
        refuseLogin(request->userName());
        return;
    }
    const QString wanted = request->database().isEmpty() ? QString::fromLatin1(DefaultDatabase) : request->database();
    if (m_settings.backend->hasDatabase(wanted))
        m_session = m_settings.backend->open(wanted);
    if (!m_session) {
        refuseLogin(request->userName(), wanted);
        return;
    }

    m_state = State::LoggedIn;
    m_database = m_session->database();
    m_connectionId = m_settings.nextConnectionId ? m_settings.nextConnectionId() : 1;

    beginReply();
    m_tokens.envDatabase(m_database, QStringLiteral("master"));
    m_tokens.info(messageOf(5701, 2, 0, QStringLiteral("Changed database context to '%1'.").arg(m_database)));
    m_tokens.envCollation(TokenWriter::chineseCollation());
    m_tokens.envLanguage(QStringLiteral("us_english"), QString());
    m_tokens.loginAck(ProgramName, ProgramMajor, ProgramMinor, ProgramBuild);
    m_tokens.envPacketSize(m_packets.packetSize(), tds::DefaultPacketSize);
    m_tokens.done(tds::DoneFinal);
    finishReply();
}

void ClientConnection::refuseLogin(const QString& user, const QString& unknownDatabase)
{
    beginReply();
    if (!unknownDatabase.isEmpty()) {
        m_tokens.error(messageOf(4060, 1, 11,
                                 QStringLiteral("Cannot open database \"%1\" requested by the login. The login failed.")
                                     .arg(unknownDatabase)));
    }
    m_tokens.error(messageOf(18456, 1, 14, QStringLiteral("Login failed for user '%1'.").arg(user)));
    m_tokens.done(tds::DoneError);
    finishReply();
    m_state = State::Closed;
    m_closeAfterReply = true;
}

void ClientConnection::refuse(const SqlError& error)
{
    beginReply();
    m_tokens.error(error);
    m_tokens.done(tds::DoneError);
    finishReply();
}

void ClientConnection::batch(const TdsMessage& message)
{
    QString error;
    const auto batch = SqlBatch::parse(message.payload, m_version, &error);
    if (!batch) {
        abort(error);
        return;
    }
    const QString sql = batch->text();
    if (m_settings.log)
        m_settings.log->record(StatementRecord{m_connectionId, m_database, sql});
    if (m_settings.faults) {
        if (m_settings.faults->takeDropFor(sql)) {
            abort(QStringLiteral("connection dropped on purpose"));
            return;
        }
        if (const auto failure = m_settings.faults->failureFor(sql)) {
            refuse(messageOf(failure->number, 1, 16, failure->message));
            return;
        }
    }
    beginReply();
    m_pendingDone = false;
    m_errorSinceDone = false;
    m_execution = m_session->run(sql);
    if (!m_execution)
        finishBatch();
}

void ClientConnection::attention()
{
    if (m_execution) {
        m_execution->cancel();
        m_execution.reset();
        flushPendingDone(true);
    }
    // Acknowledged even when the reply was already complete: clients wait for this DONE.
    beginReply();
    m_tokens.done(tds::DoneAttention);
    finishReply();
}

bool ClientConnection::isReplying() const
{
    return m_execution != nullptr || !m_output.isEmpty();
}

QByteArray ClientConnection::takeOutput(qsizetype maxBytes)
{
    while (m_execution && m_output.size() < maxBytes)
        step();
    QByteArray out;
    out.swap(m_output);
    return out;
}

void ClientConnection::step()
{
    BatchEvent event;
    if (!m_execution->next(event)) {
        finishBatch();
        return;
    }
    switch (event.kind) {
    case BatchEvent::Kind::Columns:
        flushPendingDone(true);
        m_tokens.columns(event.columns);
        break;
    case BatchEvent::Kind::Row:
        m_tokens.row(event.row);
        break;
    case BatchEvent::Kind::Error:
        flushPendingDone(true);
        m_tokens.error(event.error);
        m_errorSinceDone = true;
        break;
    case BatchEvent::Kind::DatabaseChanged: {
        flushPendingDone(true);
        const QString previous = m_database;
        m_database = event.database;
        m_tokens.envDatabase(m_database, previous);
        m_tokens.info(messageOf(5701, 1, 0, QStringLiteral("Changed database context to '%1'.").arg(m_database)));
        break;
    }
    case BatchEvent::Kind::Done:
        flushPendingDone(true);
        m_pendingDone = true;
        m_pendingStatus = (event.hasRowCount ? tds::DoneCount : 0)
                          | (event.failed || m_errorSinceDone ? tds::DoneError : 0);
        m_pendingCount = event.hasRowCount ? quint64(qMax<qint64>(event.rowCount, 0)) : 0;
        m_errorSinceDone = false;
        break;
    }
    flushTokens();
}

void ClientConnection::finishBatch()
{
    m_execution.reset();
    if (m_pendingDone)
        flushPendingDone(false);
    else  // a reply must end in a DONE without "more", and an error must be flagged in one
        m_tokens.done(m_errorSinceDone ? tds::DoneError : tds::DoneFinal);
    m_errorSinceDone = false;
    finishReply();
}

void ClientConnection::flushPendingDone(bool more)
{
    if (!m_pendingDone)
        return;
    m_tokens.done(static_cast<quint16>(m_pendingStatus | (more ? tds::DoneMore : 0)), m_pendingCount);
    m_pendingDone = false;
}

void ClientConnection::beginReply()
{
    m_packets.begin(tds::Reply);
}

void ClientConnection::flushTokens()
{
    if (!m_tokens.isEmpty())
        m_packets.append(m_tokens.take());
    m_output += m_packets.takePackets();
}

void ClientConnection::finishReply()
{
    if (!m_tokens.isEmpty())
        m_packets.append(m_tokens.take());
    m_output += m_packets.finish();
}

void ClientConnection::abort(const QString& reason)
{
    if (m_execution) {
        m_execution->cancel();
        m_execution.reset();
    }
    m_abortReason = reason.isEmpty() ? QStringLiteral("malformed request") : reason;
}

}  // namespace sandbox
