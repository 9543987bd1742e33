#include "SessionFixture.h"

#include "LoginDriver.h"
#include "ProgramStatements.h"

#include "app/AppSetup.h"
#include "app/ProgramEnd.h"

#include <QApplication>
#include <QTest>

bool SessionFixture::start()
{
    AppSetup::prepare(*qApp);
    ProgramEnd::setAction([] { QFAIL("the program ended"); });
    return m_sandbox.start();
}

bool SessionFixture::logIn()
{
    if (!LoginDriver(m_boxes).logIn(m_sandbox.serverName(), m_sandbox.password()))
        return false;
    m_sys = m_export = 0;
    for (const sandbox::StatementRecord& record : m_sandbox.statements()) {
        if (record.sql == statements::TaskQuery)
            m_sys = record.connection;
        else if (record.sql == statements::ExportProbe)
            m_export = record.connection;
    }
    forget();
    return m_sys != 0 && m_export != 0;
}

void SessionFixture::reset()
{
    LoginDriver::reset();
    m_sandbox.faults().clear();
    m_boxes.clear();
}

void SessionFixture::startOver(const QString& zrsystemBatch)
{
    for (const QString& name : data().directory().databases()) {
        if (name.compare(QLatin1String("master"), Qt::CaseInsensitive) != 0)
            data().dropDatabase(name);
    }
    data().createDatabase(QStringLiteral("zrsystem"));
    data().exec(QStringLiteral("zrsystem"), QStringLiteral(
        "create table ua_task (cTaskId varchar(500) not null, cStation varchar(500)) "
        "create table ua_tasklog (cTaskId varchar(500), cSub_Id varchar(10), cSub_Name varchar(40), cStation varchar(500), "
        "dInTime datetime, TaskState varchar(10)) "
        "create table ua_account (cAcc_id varchar(500), cAcc_Name varchar(60)) "
        "create table UA_Period (cAcc_id varchar(500), iYear int, bIsDelete int) "
        "create table ua_outpzlog (cacc_id varchar(3), iyear int, iPeriod int, cStation varchar(64), cUser_Id varchar(20), "
        "dTime datetime) ") + zrsystemBatch);
}

QStringList SessionFixture::sent(On on) const
{
    const int expected = on == On::Sys ? m_sys : m_export;
    QStringList texts;
    for (const sandbox::StatementRecord& record : m_sandbox.statements())
        texts.append((record.connection == expected ? QString() : QStringLiteral("[elsewhere] ")) + record.sql);
    return texts;
}

QStringList SessionFixture::sentTo() const
{
    QStringList texts;
    for (const sandbox::StatementRecord& record : m_sandbox.statements())
        texts.append(at(record.database, record.sql));
    return texts;
}
