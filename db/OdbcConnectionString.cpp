#include "OdbcConnectionString.h"

#include "DbError.h"
#include "ServerAddress.h"

namespace db {

namespace {

QString driverName(const DriverChoice& driver)
{
    return driver.family == DriverFamily::FreeTds ? QStringLiteral("FreeTDS") : driver.name;
}

class Writer {
public:
    explicit Writer(const DriverChoice& driver)
        : m_driver(driver)
    {
        if (driver.registered)
            m_text = QStringLiteral("DRIVER={%1};").arg(driver.name);
        else
            m_text = QStringLiteral("DRIVER=%1;").arg(driver.name);
    }

    void add(const QString& key, const QString& value, const QString& what)
    {
        const std::optional<QString> encoded = OdbcConnectionString::encode(m_driver.family, value);
        if (!encoded) {
            if (value.contains(QChar(0)))
                throw DbError(QStringLiteral("%1中含有空字符（U+0000），无法传送给数据库服务器。").arg(what));
            throw DbError(QStringLiteral("当前的 ODBC 驱动程序（%1）无法传送含有“};”的%2。请更换%2后重试。")
                              .arg(driverName(m_driver), what));
        }
        m_text += key + QLatin1Char('=') + *encoded + QLatin1Char(';');
    }

    void addPlain(const QString& key, const QString& value) { m_text += key + QLatin1Char('=') + value + QLatin1Char(';'); }

    QString text() const { return m_text; }

private:
    const DriverChoice& m_driver;
    QString m_text;
};

}  // namespace

QString OdbcConnectionString::build(const DriverChoice& driver, const AdoConnectionString& ado, const QString& user,
                                    const QString& password)
{
    const QString server = ado.dataSource();
    const QString database = ado.initialCatalog();

    const ServerAddress address(server);
    if (address.hasInvalidPort())
        throw DbError(QStringLiteral("服务器名“%1”中的端口“%2”无效：端口须是 1 到 65535 之间的数字。未连接任何服务器。")
                          .arg(server, address.portText()));

    Writer writer(driver);
    if (driver.family == DriverFamily::FreeTds) {
        // FreeTDS knows none of the Windows names for this machine.
        QString host = address.isLocal() ? QStringLiteral("127.0.0.1") : address.host();
        if (!address.hasPort() && !address.instance().isEmpty())
            host += QLatin1Char('\\') + address.instance();
        writer.add(QStringLiteral("SERVER"), host, QStringLiteral("服务器名"));
        // Without a port FreeTDS takes the one of its configuration file, which may have none;
        // a default instance listens on 1433, and a named one is found through its browser.
        if (address.hasPort())
            writer.addPlain(QStringLiteral("PORT"), QString::number(address.port()));
        else if (address.instance().isEmpty())
            writer.addPlain(QStringLiteral("PORT"), QStringLiteral("1433"));
    } else {
        // Microsoft's drivers read "(local)", ".", "host,port" and "host\instance" themselves.
        writer.add(QStringLiteral("SERVER"), server.isEmpty() ? QStringLiteral("(local)") : server,
                   QStringLiteral("服务器名"));
    }
    if (!database.isEmpty())
        writer.add(QStringLiteral("DATABASE"), database, QStringLiteral("数据库名"));
    writer.add(QStringLiteral("UID"), user, QStringLiteral("用户名"));
    writer.add(QStringLiteral("PWD"), password, QStringLiteral("密码"));

    switch (driver.family) {
    case DriverFamily::FreeTds:
        writer.addPlain(QStringLiteral("TDS_Version"), freeTdsVersion());
        writer.addPlain(QStringLiteral("ClientCharset"), QStringLiteral("UTF-8"));
        break;
    case DriverFamily::Microsoft:
        // Driver 18 encrypts by default; the suite's servers carry self-signed certificates.
        writer.addPlain(QStringLiteral("TrustServerCertificate"), QStringLiteral("yes"));
        break;
    case DriverFamily::LegacySqlServer:
        break;
    }
    return writer.text();
}

std::optional<QString> OdbcConnectionString::encode(DriverFamily family, const QString& value)
{
    if (value.contains(QChar(0)))
        return std::nullopt;
    const QString braced = QLatin1Char('{') + value + QLatin1Char('}');
    if (family != DriverFamily::FreeTds)
        return QLatin1Char('{') + QString(value).replace(QLatin1Char('}'), QLatin1String("}}")) + QLatin1Char('}');
    if (!value.contains(QLatin1Char('}')))
        return braced;
    if (value.contains(QLatin1String("};")))
        return std::nullopt;
    // Written bare where it can be, a value with '}' reads back the same in FreeTDS 1.4, which
    // undoes "}}" inside braces like Microsoft's drivers.
    if (!value.contains(QLatin1Char(';')) && !value.startsWith(QLatin1Char('{')))
        return value;
    return braced;
}

}  // namespace db
