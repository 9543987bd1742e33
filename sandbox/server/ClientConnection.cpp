#include "ClientConnection.h"

#include "BatchRunner.h"
#include "FaultInjector.h"
#include "StatementLog.h"
#include "engine/DataDirectory.h"
#include "engine/Session.h"
#include "protocol/LoginRequest.h"
#include "protocol/PreloginMessage.h"
#include "protocol/SqlBatch.h"
#include "protocol/TdsDefs.h"

namespace sandbox {

namespace {

// Drivers pick their features from this name and the profile's major version.
const QString ProgramName = QStringLiteral("Microsoft SQL Server");

}  // namespace

ClientConnection::ClientConnection(Settings settings)
    : m_settings(std::move(settings)),
      m_packets(tds::DefaultPacketSize, m_settings.spid),
      m_tokens(m_version, m_settings.serverName)
{
}

ClientConnection::~ClientConnection() = default;

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
        else if (message.type == tds::Login7 && !m_settings.forceEncryption)  // a client older than prelogin
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
        case tds::Rpc:
            refuse(messageOf(50000, 1, 16, QStringLiteral("Remote procedure calls are not supported by this server.")));
            return;
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
    const auto request = PreloginMessage::parse(message.payload);
    if (!request) {
        abort(QStringLiteral("malformed prelogin"));
        return;
    }
    const ServerProfile& profile = m_settings.profile;
    const auto choice =
        PreloginMessage::chooseEncryption(request->encryption(), profile.offersTls(), m_settings.forceEncryption);
    m_encryption = choice.session;
    m_output += m_packets.message(
        tds::Reply, PreloginMessage::serverReply(profile.major(), profile.minor(), profile.build(), choice.answer));
    if (choice.session == PreloginMessage::Session::Refused) {
        m_state = State::Closed;
        m_closeAfterReply = true;
        return;
    }
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
    m_version = m_settings.profile.acknowledge(request->tdsVersion());
    m_tokens.setVersion(m_version);
    const int requestedSize = request->packetSize() == 0 ? tds::DefaultPacketSize : int(qMin<quint32>(request->packetSize(), tds::MaxPacketSize));
    m_packets.setPacketSize(requestedSize);

    if (request->userName().compare(QLatin1String("sa"), Qt::CaseInsensitive) != 0
        || request->password() != m_settings.password) {
        refuseLogin(request->userName());
        return;
    }
    const QString wanted = request->database().isEmpty() ? QString::fromLatin1(DefaultDatabase) : request->database();
    if (m_settings.directory->hasDatabase(wanted))
        m_session = std::make_unique<Session>(*m_settings.directory, wanted);
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
    m_tokens.loginAck(ProgramName, m_settings.profile.major(), m_settings.profile.minor(), m_settings.profile.build());
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
    m_execution = std::make_unique<BatchRunner>(*m_session, sql, m_version, m_wake);
}

void ClientConnection::attention()
{
    if (m_execution) {
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
    while (m_execution && m_output.size() < maxBytes && step()) {
    }
    QByteArray out;
    out.swap(m_output);
    return out;
}

bool ClientConnection::step()
{
    BatchEvent event;
    QByteArray rows;
    switch (m_execution->take(event, rows)) {
    case BatchRunner::Pull::Wait:
        return false;
    case BatchRunner::Pull::End:
        finishBatch();
        return true;
    case BatchRunner::Pull::Rows:
        flushTokens();
        m_packets.append(rows);
        m_output += m_packets.takePackets();
        return true;
    case BatchRunner::Pull::Event:
        break;
    }
    switch (event.kind) {
    case BatchEvent::Kind::Columns:
        flushPendingDone(true);
        m_tokens.columns(event.columns);
        break;
    case BatchEvent::Kind::Row:  // rows arrive encoded, as Pull::Rows
        break;
    case BatchEvent::Kind::Error:
        flushPendingDone(true);
        m_tokens.error(event.error);
        m_errorSinceDone = true;
        break;
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
    return true;
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
    m_execution.reset();
    m_abortReason = reason.isEmpty() ? QStringLiteral("malformed request") : reason;
}

}  // namespace sandbox
