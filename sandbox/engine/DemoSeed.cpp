#include "DemoSeed.h"

#include "Fixture.h"

#include <QDate>

namespace sandbox {

namespace {

// Columns of the fifteen lock tables, as a business database declares them.
struct LockTable {
    const char* name;
    const char* columns;
};

const LockTable kLockTables[] = {
    {"LockVouch", "cVouchType varchar(20) not null, cVouchID varchar(30) not null, cUser_Id varchar(20) null, "
                  "cStation varchar(64) null, dLockTime datetime null"},
    {"GL_mccontrol", "ccode varchar(40) not null, cuser varchar(20) null, cStation varchar(64) null, dLockTime datetime null"},
    {"Gl_mvcontrol", "iperiod tinyint not null, csign varchar(10) null, ino_id int null, cuser varchar(20) null, "
                     "cStation varchar(64) null, dLockTime datetime null"},
    {"GL_mvocontrol", "coutsysname varchar(20) null, coutno_id varchar(30) null, cuser varchar(20) null, cStation varchar(64) null"},
    {"Fa_control", "sCardID varchar(20) not null, sUser varchar(20) null, sStation varchar(64) null, dLockTime datetime null"},
    {"FD_LOCKS", "cLockType varchar(20) null, cLockId varchar(40) null, cUser varchar(20) null, cStation varchar(64) null, "
                 "dLockTime datetime null"},
    {"AP_LOCK", "cFuncId varchar(40) null, cUser varchar(20) null, cStation varchar(64) null, dLockTime datetime null, "
                "cFlag varchar(4) null"},
    {"ia_pzmutex", "cFuncName varchar(40) null, cUser varchar(20) null, cStation varchar(64) null, dTime datetime null"},
    {"gl_lockrows", "citem_class varchar(10) null, citemcode varchar(40) null, cUser varchar(20) null, cStation varchar(64) null, "
                    "dLockTime datetime null"},
    {"UA_Control", "cSub_Id varchar(10) null, cFuncId varchar(40) null, cTaskId varchar(40) null, cStation varchar(64) null, "
                   "cUser_Id varchar(20) null, dTime datetime null"},
    {"CN_LockAcctBook", "cAcctBook varchar(40) null, iPeriod tinyint null, cUser varchar(20) null, cStation varchar(64) null, "
                        "dLockTime datetime null"},
    // GL_LockRows is gl_lockrows under a case-insensitive collation: one table serves both names.
    {"Ca_ResLock", "cResType varchar(20) null, cResCode varchar(40) null, cUser varchar(20) null, cStation varchar(64) null, "
                   "dLockTime datetime null"},
    {"WF_PILock", "PIID int not null, cUser varchar(20) null, cStation varchar(64) null, dLockTime datetime null"},
    {"isprocess@@@", "id int null, cUser varchar(20) null, dTime datetime null"},
};

QString createLockTable(const QString& name)
{
    for (const LockTable& table : kLockTables) {
        if (name.compare(QLatin1String(table.name), Qt::CaseInsensitive) == 0)
            return QStringLiteral("create table [%1] (%2)\n").arg(QLatin1String(table.name), QLatin1String(table.columns));
    }
    return {};
}

const char* const kVoucherTable =
    "create table GL_accvouch (i_id int not null primary key, iperiod tinyint not null, csign varchar(10) null, "
    "ino_id smallint null, dbill_date datetime null, ccode varchar(40) null, md float null, mc float null, "
    "cdigest varchar(120) null, cbill varchar(20) null, ibook bit null)\n"
    "insert into GL_accvouch values "
    "(1, 1, '记', 1, '%1-01-05', '1001', 5000, 0, '提现备用', '张会计', 1), "
    "(2, 1, '记', 1, '%1-01-05', '1002', 0, 5000, '提现备用', '张会计', 1), "
    "(3, 2, '记', 2, '%1-02-11', '6602', 1280.5, 0, '报销差旅费', '李出纳', 0)\n";

void emptyDatabase(Fixture& fixture, const QString& database)
{
    const QList<QVariantList> tables = fixture.rows(database, QStringLiteral("select name from sysobjects where xtype = 'U'"));
    for (const QVariantList& table : tables) {
        QString name = table.first().toString();
        name.replace(QLatin1Char(']'), QLatin1String("]]"));
        fixture.exec(database, QStringLiteral("drop table [%1]").arg(name));
    }
}

void seedSystem(Fixture& fixture, const DemoSeed::Options& options)
{
    const QString db = QStringLiteral("zrsystem");
    fixture.createDatabase(db);
    fixture.exec(db, QStringLiteral(
        "create table ua_account (cAcc_Id char(3) not null primary key, cAcc_Name varchar(60) null, "
        "cAcc_Path varchar(255) null, iYear smallint null, iMonth tinyint null, cAcc_Master varchar(20) null, "
        "cUnitName varchar(100) null)\n"
        "insert into ua_account values "
        "('001', '北京远航科技有限公司', 'D:\\ZRSOFT\\Admin\\ZT001', 2015, 1, 'demo', '北京远航科技有限公司'), "
        "('002', '上海明德贸易有限公司', 'D:\\ZRSOFT\\Admin\\ZT002', 2016, 1, 'li', '上海明德贸易有限公司'), "
        "('003', '演示账套（新建）', 'D:\\ZRSOFT\\Admin\\ZT003', null, null, 'demo', null)\n"
        "create table ua_user (cUser_Id varchar(20) not null primary key, cUser_Name varchar(40) null, "
        "cDept varchar(40) null, bAdmin bit null)\n"
        "insert into ua_user values ('admin', '系统管理员', null, 1), ('demo', '演示用户', '财务部', 0), "
        "('zhang', '张会计', '财务部', 0), ('li', '李出纳', '财务部', 0), ('wang', '王保管', '仓储部', 0)\n"));

    // Twelve periods for each year; 2014 of account 001 was deleted, 003 has no year at all.
    QStringList periods;
    struct Year { const char* account; int year; const char* deleted; };
    const Year years[] = {{"001", 2014, "1"}, {"001", 2015, "0"}, {"001", 2016, "0"}, {"002", 2016, "null"}, {"002", 2017, "0"}};
    for (const Year& year : years) {
        for (int month = 1; month <= 12; ++month) {
            const QDate begin(year.year, month, 1);
            periods.append(QStringLiteral("('%1', %2, %3, '%4', '%5', %6)")
                               .arg(QLatin1String(year.account)).arg(year.year).arg(month)
                               .arg(begin.toString(Qt::ISODate), begin.addMonths(1).addDays(-1).toString(Qt::ISODate),
                                    QLatin1String(year.deleted)));
        }
    }
    fixture.exec(db, QStringLiteral(
        "create table UA_Period (cAcc_id char(3) not null, iYear smallint not null, iId tinyint not null, "
        "dBegin datetime null, dEnd datetime null, bIsDelete bit null)\n"
        "insert into UA_Period values ") + periods.join(QStringLiteral(", ")));

    if (options.accountDatabaseTable) {
        fixture.exec(db, QStringLiteral(
            "create table UA_AccountDatabase (cAcc_Id char(3) not null, iBeginYear smallint not null, "
            "iEndYear smallint null, cDatabase varchar(128) not null, cDBType varchar(10) null)\n"
            "insert into UA_AccountDatabase values "
            "('001', 2014, 2014, 'ZRDATA_001_2014', 'SQL'), ('001', 2015, 2015, 'ZRDATA_001_2015', 'SQL'), "
            "('001', 2016, null, 'ZRDATA_001_2016', 'SQL'), ('002', 2016, null, 'ZRDATA_002_2016', 'SQL')\n"));
    }

    // Login tasks: several per computer, computer names in Chinese and in ASCII, normal and
    // abnormal states, system-management rows without a task id, log rows without a task row
    // (1005, 1007) and a task row without a log row (0998).
    const QString oddState = options.nonNumericState ? QStringLiteral("abc") : QString();
    fixture.exec(db, QStringLiteral(
        "create table ua_task (cTaskId varchar(40) not null, cSub_Id varchar(10) null, cStation varchar(64) null, "
        "cUser_Id varchar(20) null, cAcc_Id char(3) null, iYear smallint null, dLoginTime datetime null, "
        "cAppServer varchar(64) null)\n"
        "create table ua_tasklog (cTaskId varchar(40) null, cSub_Id varchar(10) null, cSub_Name varchar(60) null, "
        "cStation varchar(64) null, cUser_Id varchar(20) null, cAcc_Id char(3) null, iYear smallint null, "
        "dInTime datetime null, dOutTime datetime null, TaskState varchar(10) null, cAppServer varchar(64) null)\n"
        "insert into ua_tasklog values "
        "('1001', 'GL', '总账', 'CAIWU-PC01', 'demo', '001', 2016, '2016-03-08 09:12:45', null, '1', 'ZRSERVER'), "
        "('1002', 'AR', '应收款管理', 'CAIWU-PC01', 'demo', '001', 2016, '2016-03-08 09:15:02', null, '0', 'ZRSERVER'), "
        "('1003', 'FA', '固定资产', 'CAIWU-PC01', 'demo', '001', 2016, '2016-03-08 10:01:33', null, '7', 'ZRSERVER'), "
        "('1004', 'GL', '总账', '财务室-张会计', 'zhang', '001', 2016, '2016-03-08 08:45:10', null, '2', 'ZRSERVER'), "
        "('1005', 'IA', '存货核算', '财务室-张会计', 'zhang', '001', 2016, '2016-03-07 17:30:00', null, '-1', 'ZRSERVER'), "
        "('1006', 'SA', '销售管理', 'XIAOSHOU01', 'li', '002', 2016, '2016-03-08 11:20:18', null, '5', 'ZRSERVER'), "
        "('1007', 'PU', '采购管理', '仓库电脑', 'wang', '002', 2016, '2016-03-08 11:48:55', null, '3', 'ZRSERVER'), "
        "('1008', 'CA', '成本管理', 'CAIWU-PC02', 'demo', '001', 2015, '2016-03-06 16:02:11', null, '%1', 'ZRSERVER'), "
        "(null, 'AA', '系统管理', 'CAIWU-PC01', 'admin', null, null, '2016-03-08 08:30:00', null, '1', 'ZRSERVER'), "
        "(null, 'AA', '系统管理', '财务室-张会计', 'admin', null, null, '2016-03-08 08:31:27', null, '0', 'ZRSERVER')\n"
        "insert into ua_task values "
        "('1001', 'GL', 'CAIWU-PC01', 'demo', '001', 2016, '2016-03-08 09:12:45', 'ZRSERVER'), "
        "('1002', 'AR', 'CAIWU-PC01', 'demo', '001', 2016, '2016-03-08 09:15:02', 'ZRSERVER'), "
        "('1003', 'FA', 'CAIWU-PC01', 'demo', '001', 2016, '2016-03-08 10:01:33', 'ZRSERVER'), "
        "('1004', 'GL', '财务室-张会计', 'zhang', '001', 2016, '2016-03-08 08:45:10', 'ZRSERVER'), "
        "('1006', 'SA', 'XIAOSHOU01', 'li', '002', 2016, '2016-03-08 11:20:18', 'ZRSERVER'), "
        "('1008', 'CA', 'CAIWU-PC02', 'demo', '001', 2015, '2016-03-06 16:02:11', 'ZRSERVER'), "
        "('0998', 'GL', 'CAIWU-PC03', 'demo', '001', 2016, '2016-02-28 18:05:40', 'ZRSERVER')\n").arg(oddState));

    // Voucher-export log left behind by the trade edition, one row with a blank station.
    fixture.exec(db, QStringLiteral(
        "create table ua_outpzlog (cacc_id char(3) not null, iyear smallint not null, iPeriod tinyint not null, "
        "cStation varchar(64) null, cUser_Id varchar(20) null, dTime datetime null, cVouchType varchar(20) null)\n"
        "insert into ua_outpzlog values "
        "('001', 2016, 3, 'CAIWU-PC01', 'demo', '2016-03-08 10:22:31', '销售出库单'), "
        "('001', 2016, 3, '', 'zhang', '2016-03-08 10:40:05', '采购入库单'), "
        "('002', 2016, 2, '仓库电脑', 'wang', '2016-02-27 15:12:48', '销售出库单')\n"));
}

void seedBusiness(Fixture& fixture, const DemoSeed::Options& options)
{
    // 001/2015: some tables, locks in two of them, and the query-analysis marker table.
    QString db = QStringLiteral("ZRDATA_001_2015");
    fixture.createDatabase(db);
    fixture.exec(db, QString::fromLatin1(kVoucherTable).arg(2015)
        + createLockTable(QStringLiteral("LockVouch")) + createLockTable(QStringLiteral("GL_mccontrol"))
        + createLockTable(QStringLiteral("AP_LOCK")) + createLockTable(QStringLiteral("gl_lockrows"))
        + createLockTable(QStringLiteral("isprocess@@@"))
        + QStringLiteral(
            "insert into LockVouch values ('销售订单', '0000000012', 'demo', 'CAIWU-PC01', '2015-12-30 15:20:01'), "
            "('采购入库单', '0000000231', 'zhang', '财务室-张会计', '2015-12-30 16:02:44'), "
            "('付款单', '0000000045', 'li', 'XIAOSHOU01', '2015-12-31 09:10:12')\n"
            "insert into gl_lockrows values ('00', '01001', 'demo', 'CAIWU-PC01', '2015-12-29 11:00:00'), "
            "('00', '01002', 'demo', 'CAIWU-PC01', '2015-12-29 11:00:03')\n"));

    // 001/2016: every lock table of a full installation, mostly empty.
    db = QStringLiteral("ZRDATA_001_2016");
    fixture.createDatabase(db);
    QString tables = QString::fromLatin1(kVoucherTable).arg(2016);
    for (const LockTable& table : kLockTables) {
        if (QLatin1String(table.name) != QLatin1String("isprocess@@@"))
            tables += createLockTable(QLatin1String(table.name));
    }
    fixture.exec(db, tables + QStringLiteral(
        "insert into Gl_mvcontrol values (3, '记', 18, 'demo', 'CAIWU-PC01', '2016-03-08 10:05:00')\n"
        "insert into Fa_control values ('00012', 'demo', 'CAIWU-PC01', '2016-03-08 10:01:40'), "
        "('00013', 'demo', 'CAIWU-PC01', '2016-03-08 10:01:41')\n"
        "insert into CN_LockAcctBook values ('现金日记账', 3, 'li', 'XIAOSHOU01', '2016-03-08 11:25:00')\n"
        "insert into WF_PILock values (1024, 'zhang', '财务室-张会计', '2016-03-07 17:31:10')\n"));

    // 002/2016 holds years 2016 and later: no lock table at all.
    db = QStringLiteral("ZRDATA_002_2016");
    fixture.createDatabase(db);
    fixture.exec(db, QString::fromLatin1(kVoucherTable).arg(2016));

    if (!options.accountDatabaseTable) {
        // Without the mapping table 002/2017 is found by the standard name.
        db = QStringLiteral("ZRDATA_002_2017");
        fixture.createDatabase(db);
        fixture.exec(db, QString::fromLatin1(kVoucherTable).arg(2017) + createLockTable(QStringLiteral("LockVouch"))
            + QStringLiteral("insert into LockVouch values ('销售发货单', '0000000003', 'li', 'XIAOSHOU01', '2017-01-04 14:00:00')\n"));
    }
}

void seedCashier(Fixture& fixture)
{
    const QString bookTable = QStringLiteral(
        "create table CN_AcctBook (cAcctBook varchar(40) not null, cName varchar(60) null, iType tinyint null)\n"
        "insert into CN_AcctBook values ('现金日记账', '库存现金', 1), ('银行日记账', '工商银行', 2)\n");
    const QString lockTable = createLockTable(QStringLiteral("CN_LockAcctBook"));

    fixture.createDatabase(QStringLiteral("DaZovu_001_2015"));
    fixture.exec(QStringLiteral("DaZovu_001_2015"), bookTable + lockTable + QStringLiteral(
        "insert into CN_LockAcctBook values ('现金日记账', 12, 'li', 'XIAOSHOU01', '2015-12-31 17:45:00'), "
        "('银行日记账', 12, 'zhang', '财务室-张会计', '2015-12-31 17:46:12')\n"));

    fixture.createDatabase(QStringLiteral("DaZovu_001_2016"));
    fixture.exec(QStringLiteral("DaZovu_001_2016"), bookTable + lockTable);

    // A cashier database that never got its lock table.
    fixture.createDatabase(QStringLiteral("DaZovu_002_2016"));
    fixture.exec(QStringLiteral("DaZovu_002_2016"), bookTable);

    // Names outside the pattern: a two-character account, a five-character year.
    fixture.createDatabase(QStringLiteral("DaZovu_01_2016"));
    fixture.exec(QStringLiteral("DaZovu_01_2016"), lockTable + QStringLiteral(
        "insert into CN_LockAcctBook values ('现金日记账', 1, 'li', 'XIAOSHOU01', '2016-01-20 09:00:00')\n"));
    fixture.createDatabase(QStringLiteral("DaZovu_001_20160"));
    fixture.exec(QStringLiteral("DaZovu_001_20160"), bookTable + lockTable);
}

}  // namespace

QStringList DemoSeed::databaseNames(const Options& options)
{
    QStringList names = {
        QStringLiteral("zrsystem"), QStringLiteral("ZRDATA_001_2015"), QStringLiteral("ZRDATA_001_2016"),
        QStringLiteral("ZRDATA_002_2016"), QStringLiteral("DaZovu_001_2015"), QStringLiteral("DaZovu_001_2016"),
        QStringLiteral("DaZovu_002_2016"), QStringLiteral("DaZovu_01_2016"), QStringLiteral("DaZovu_001_20160"),
    };
    if (!options.accountDatabaseTable)
        names.append(QStringLiteral("ZRDATA_002_2017"));
    return names;
}

bool DemoSeed::fill(DataDirectory& directory, QString* error)
{
    return fill(directory, Options(), error);
}

bool DemoSeed::fill(DataDirectory& directory, const Options& options, QString* error)
{
    try {
        Fixture fixture(directory.path());
        if (!directory.beginSeeding(error))
            return false;
        // Start from scratch, whichever variant filled the folder before. A database that stays
        // is emptied in place rather than deleted, so that clients connected to it (a running
        // server's sessions) see the new contents instead of a file that is gone.
        Options every = options;
        every.accountDatabaseTable = false;
        const QStringList wanted = databaseNames(options);
        for (const QString& name : databaseNames(every)) {
            if (!directory.hasDatabase(name))
                continue;
            if (wanted.contains(name))
                emptyDatabase(fixture, name);
            else
                fixture.dropDatabase(name);
        }
        seedSystem(fixture, options);
        seedBusiness(fixture, options);
        seedCashier(fixture);
        directory.endSeeding();
    } catch (const Fixture::Error& failure) {
        if (error)
            *error = QString::fromStdString(failure.what());
        return false;
    }
    return true;
}

}  // namespace sandbox
