// Statements, seeding and read-back shared by the sandbox cases of this folder.
#pragma once

#include "support/LoginDriver.h"
#include "support/MainWindowControls.h"
#include "support/MessageBoxDriver.h"
#include "support/SandboxHarness.h"

#include "ui/main/Form2.h"

#include <QTest>

namespace hostile {

inline const QString System = QStringLiteral("zrsystem");
inline const QString TaskQuery = QStringLiteral(
    "select distinct b.ctaskid,b.csub_name,b.cstation,convert(VARCHAR(19),b.dintime,120) as 登陆时间,b.taskstate "
    "from ua_task a right join ua_tasklog b on a.ctaskid=b.ctaskid");
inline const QString ClearAbnormalTask = QStringLiteral(
    "delete from ua_task where cTaskId in(select cTaskId from ua_tasklog where  cast(TaskState as int)>='5' or "
    "cast(TaskState as int)<'0')");
inline const QString ClearAbnormalLog =
    QStringLiteral("delete from ua_tasklog where  cast(TaskState as int)>='5' or cast(TaskState as int)<'0'");
inline const QString CashierListing =
    QStringLiteral("select [Name] from Master..sysdatabases where name like 'DaZovu[_]___[_]____'");
inline const QString Marker = QStringLiteral("isprocess@@@");
inline const QStringList Catalogue = {
    QStringLiteral("LockVouch"),     QStringLiteral("GL_mccontrol"),    QStringLiteral("Gl_mvcontrol"),
    QStringLiteral("GL_mvocontrol"), QStringLiteral("Fa_control"),      QStringLiteral("FD_LOCKS"),
    QStringLiteral("AP_LOCK"),       QStringLiteral("ia_pzmutex"),      QStringLiteral("gl_lockrows"),
    QStringLiteral("UA_Control"),    QStringLiteral("CN_LockAcctBook"), QStringLiteral("GL_LockRows"),
    QStringLiteral("Ca_ResLock"),    QStringLiteral("WF_PILock"),       Marker,
};

// "insert into [t] values (...), (...) ", quoting every value; a thousand rows at most.
inline QString insert(const QString& table, const QList<QVariantList>& rows)
{
    QStringList tuples;
    for (const QVariantList& row : rows) {
        QStringList values;
        for (const QVariant& value : row) {
            values.append(value.isNull() ? QStringLiteral("null")
                                         : QLatin1Char('\'') + value.toString().replace(QLatin1Char('\''), QLatin1String("''"))
                                               + QLatin1Char('\''));
        }
        tuples.append(QLatin1Char('(') + values.join(QStringLiteral(", ")) + QLatin1Char(')'));
    }
    return QStringLiteral("insert into [%1] values %2 ").arg(table, tuples.join(QStringLiteral(", ")));
}

// A statement as the server received it, with the database it ran in.
inline QString at(const QString& database, const QString& sql)
{
    return database.toLower() + QStringLiteral(": ") + sql;
}

inline QStringList sent(const SandboxHarness& sandbox)
{
    QStringList texts;
    for (const sandbox::StatementRecord& record : sandbox.statements())
        texts.append(at(record.database, record.sql));
    return texts;
}

inline QStringList boxTexts(const MessageBoxDriver& boxes)
{
    QStringList texts;
    for (const MessageBoxDriver::Box& box : boxes.boxes())
        texts.append(box.text);
    return texts;
}

// Leaves the folder with a zrsystem of empty suite tables, of the given text width, and nothing else.
inline void resetDatabases(SandboxHarness& sandbox, int width)
{
    sandbox::Fixture& fixture = sandbox.fixture();
    for (const QString& name : fixture.directory().databases()) {
        if (name.compare(QLatin1String("master"), Qt::CaseInsensitive) != 0)
            fixture.dropDatabase(name);
    }
    fixture.createDatabase(System);
    fixture.exec(System, QStringLiteral(
        "create table ua_task (cTaskId varchar(%1) not null, cSub_Id varchar(10) null, cStation varchar(%1) null) "
        "create table ua_tasklog (cTaskId varchar(%1) null, cSub_Id varchar(10) null, cSub_Name varchar(60) null, "
        "cStation varchar(%1) null, dInTime datetime null, TaskState varchar(10) null) "
        "create table ua_account (cAcc_id varchar(%1) null, cAcc_Name varchar(60) null) "
        "create table UA_Period (cAcc_id varchar(%1) null, iYear int null, bIsDelete int null)").arg(width));
}

inline void logIn(SandboxHarness& sandbox, MessageBoxDriver& boxes)
{
    QVERIFY(LoginDriver(boxes).logIn(sandbox.serverName(), sandbox.password()));
    QCOMPARE(boxes.count(), 0);
}

// Ctrl+H on the main window opens the cashier window.
inline void pressCtrlH()
{
    Form2& main = LoginDriver::mainWindow();
    main.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&main));
    QWidget* target = MainWindowControls::find(QStringLiteral("Combo3"));
    target->setFocus();
    QTest::keyClick(target, Qt::Key_H, Qt::ControlModifier);
}

}  // namespace hostile
