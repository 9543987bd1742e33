#include "FailureExplanation.h"

namespace db {

namespace {

// FreeTDS's own numbers: its diagnostics carry no server state for these.
constexpr int FreeTdsConnectionFailed = 20002;
constexpr int FreeTdsTimeout = 20003;
constexpr int FreeTdsUnreachable = 20009;
constexpr int FreeTdsUnknownHost = 20012;

bool anyNative(const QList<DiagnosticRecord>& records, int number)
{
    for (const auto& record : records) {
        if (record.nativeError == number)
            return true;
    }
    return false;
}

bool anyState(const QList<DiagnosticRecord>& records, QLatin1String state)
{
    for (const auto& record : records) {
        if (record.sqlState == state)
            return true;
    }
    return false;
}

bool anyMessage(const QList<DiagnosticRecord>& records, QLatin1String words)
{
    for (const auto& record : records) {
        if (record.message.contains(words, Qt::CaseInsensitive))
            return true;
    }
    return false;
}

QString serverText(const QString& server)
{
    return server.isEmpty() ? QStringLiteral("(local)") : server;
}

QString cannotSpeak(const QList<DiagnosticRecord>& records, const FailureExplanation::Login& login)
{
    const QString advice = QStringLiteral("请在服务器上安装 TLS 1.2 更新并启用 TLS 1.2，或在本机的系统加密策略中允许服务器所用的 TLS 版本。");
    if (!login.identity)
        return QStringLiteral("无法与数据库服务器“%1”建立加密连接（TLS 握手失败），密码没有发出；").arg(serverText(login.server))
            + advice;
    const ServerProbe::Identity& server = *login.identity;
    const QString generation = server.generation();
    if (!server.offersEncryption()) {
        if (anyMessage(records, QLatin1String("encrypt")) || anyMessage(records, QLatin1String("SSL")))
            return QStringLiteral("数据库服务器 %1 不支持加密，而本机的 ODBC 驱动程序要求加密连接；"
                                  "请为服务器安装证书并启用加密，或使用 Windows 自带的“SQL Server”驱动程序。")
                .arg(generation);
        return QStringLiteral("数据库服务器 %1 在登录过程中断开了连接；请检查服务器的错误日志和登录设置。").arg(generation);
    }
    const QString demand = server.requiresEncryption() ? QStringLiteral("要求整个连接加密且") : QString();
    if (server.tls10Only())
        return QStringLiteral("数据库服务器 %1 %2只支持 TLS 1.0 加密，而本机的系统加密策略不允许 TLS 1.0，密码没有发出；"
                              "请在服务器上安装 TLS 1.2 更新并启用 TLS 1.2，或在本机的系统加密策略中允许 TLS 1.0。")
            .arg(generation, demand);
    return QStringLiteral("数据库服务器 %1 %2与本机没有双方都允许的 TLS 版本，无法建立加密连接，密码没有发出；")
               .arg(generation, demand)
        + advice;
}

}  // namespace

FailureExplanation::Kind FailureExplanation::classify(const QList<DiagnosticRecord>& records)
{
    // A missing database comes with the login failure it causes: it is the one that explains.
    if (anyNative(records, 4060))
        return Kind::UnknownDatabase;
    if (anyNative(records, 18456))
        return Kind::WrongPassword;
    if (anyState(records, QLatin1String("IM002")) || anyState(records, QLatin1String("IM003")))
        return Kind::DriverNotLoaded;
    if (anyNative(records, FreeTdsUnknownHost) || anyMessage(records, QLatin1String("Unknown host machine name"))
        || anyMessage(records, QLatin1String("No such host is known")))
        return Kind::HostNotFound;
    if (anyNative(records, FreeTdsUnreachable) || anyMessage(records, QLatin1String("actively refused")))
        return Kind::Refused;
    if (anyState(records, QLatin1String("HYT00")) || anyNative(records, FreeTdsTimeout))
        return Kind::LoginTimeout;
    if (anyMessage(records, QLatin1String("does not support connections to SQL Server")))
        return Kind::ServerTooOld;
    // FreeTDS says no more than "connection failed" when the handshake is refused; Microsoft's
    // drivers name their SSL provider or the encryption.
    if (anyNative(records, FreeTdsConnectionFailed) || anyMessage(records, QLatin1String("SSL"))
        || anyMessage(records, QLatin1String("encrypt")) || anyMessage(records, QLatin1String("handshakes before login")))
        return Kind::CannotSpeak;
    return Kind::Other;
}

QString FailureExplanation::forLogin(Kind kind, const QList<DiagnosticRecord>& records, const Login& login)
{
    const QString server = serverText(login.server);
    switch (kind) {
    case Kind::WrongPassword:
        return QStringLiteral("数据库服务器拒绝了 sa 的登录：密码不正确，或 sa 登录已被禁用；请检查“SA密码”后重试。");
    case Kind::UnknownDatabase:
        return QStringLiteral("数据库服务器“%1”上没有数据库“%2”，或 sa 无权打开它；请确认服务器名指向的是本系统所用的数据库服务器。")
            .arg(server, login.database);
    case Kind::HostNotFound:
        return QStringLiteral("找不到服务器“%1”：这个名称无法解析为网络地址；请检查服务器名的拼写，以及本机的 DNS 或 hosts 设置。")
            .arg(server);
    case Kind::Refused:
        return QStringLiteral("服务器“%1”拒绝了连接，该端口上没有 SQL Server 在监听；"
                              "请检查服务器名中的端口，以及 SQL Server 服务是否已启动、TCP/IP 协议是否已启用。")
            .arg(server);
    case Kind::LoginTimeout:
        return QStringLiteral("服务器“%1”在 %2 秒内没有应答，登录超时；请检查服务器名、网络和防火墙，以及 SQL Server 服务是否正常运行。")
            .arg(server)
            .arg(login.timeoutSeconds);
    case Kind::CannotSpeak:
        return cannotSpeak(records, login);
    case Kind::ServerTooOld:
        return QStringLiteral("本机已安装的 ODBC 驱动程序都不支持数据库服务器%1；请安装 Windows 自带的“SQL Server”驱动程序。")
            .arg(login.identity ? QLatin1Char(' ') + login.identity->generation() : QStringLiteral("“%1”").arg(server));
    case Kind::DriverNotLoaded:
        return QString();  // the driver's failure already names what to install
    case Kind::Other:
        break;
    }
    return QStringLiteral("无法登录数据库服务器“%1”；请检查服务器名和网络后重试。").arg(server);
}

QString FailureExplanation::linkLost()
{
    return QStringLiteral("与数据库服务器的连接已断开，刚才的操作是否已完成无法确定；请检查网络和数据库服务器后重试。");
}

}  // namespace db
