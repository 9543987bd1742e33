#pragma once

// The statements the program sends, word for word, for comparing with what the server received.
#include <QPair>
#include <QString>
#include <QStringList>

namespace statements {

inline const QString TaskQuery = QStringLiteral(
    "select distinct b.ctaskid,b.csub_name,b.cstation,convert(VARCHAR(19),b.dintime,120) as 登陆时间,b.taskstate "
    "from ua_task a right join ua_tasklog b on a.ctaskid=b.ctaskid");
inline const QStringList ClearAbnormal = {
    QStringLiteral("delete from ua_task where cTaskId in(select cTaskId from ua_tasklog where  cast(TaskState as "
                   "int)>='5' or cast(TaskState as int)<'0')"),
    QStringLiteral("delete from ua_tasklog where  cast(TaskState as int)>='5' or cast(TaskState as int)<'0'")};
inline const QString ExportProbe = QStringLiteral("select * from sysobjects where name='ua_outpzlog' and xtype='U'");
inline const QString ExportList = QStringLiteral(
    "select  cacc_id as 帐套号,iyear as 年度,iPeriod as 会计期间,cStation as 计算机名,cUser_Id as 用户编码,"
    "dTime as 操作时间 from ua_outpzlog");
inline const QString MappingProbe =
    QStringLiteral("select * from sysobjects where name='UA_AccountDatabase' and xtype='U'");
inline const QString CashierListing =
    QStringLiteral("select [Name] from Master..sysdatabases where name like 'DaZovu[_]___[_]____'");
inline const QString Marker = QStringLiteral("isprocess@@@");

// Lock tables and their descriptions, in the order they are scanned and cleared.
inline const QList<QPair<QString, QString>> Catalogue = {
    {"LockVouch", "单据锁定表"},           {"GL_mccontrol", "科目并发控制表"},   {"Gl_mvcontrol", "凭证并发控制表"},
    {"GL_mvocontrol", "外部凭证并发控制表"}, {"Fa_control", "固定资产并发控制表"}, {"FD_LOCKS", "结算中心并发控制表"},
    {"AP_LOCK", "操作互斥表"},             {"ia_pzmutex", "核算控制表"},         {"gl_lockrows", "项目维护控制表"},
    {"UA_Control", "功能互斥预置表"},       {"CN_LockAcctBook", "出纳模块制单锁定表"}, {"GL_LockRows", "项目目录锁定表"},
    {"Ca_ResLock", "资源锁定表（成本管理）"}, {"WF_PILock", "流程实例锁定表"},   {Marker, "查询分析互斥"}};

// Values between quotes: each quote doubled.
inline QString quoted(QString value)
{
    return value.replace(QLatin1Char('\''), QLatin1String("''"));
}
inline QString yearQuery(const QString& code)
{
    return QStringLiteral("select distinct iyear from UA_Period where cacc_id='%1' and ISNULL(bIsDelete,0)=0").arg(quoted(code));
}
inline QString mappingQuery(const QString& code, const QString& year)
{
    return QStringLiteral("select cDatabase from UA_AccountDatabase where cAcc_Id='%1' and (iBeginYear<='%2' and "
                          "(iEndYear>='%2' or iEndYear is null)) ").arg(quoted(code), year);
}
inline QString existence(const QString& table)
{
    return QStringLiteral("select  * from dbo.sysobjects where xtype='U' and name ='%1'").arg(table);
}
inline QString markerDrop()
{
    return QStringLiteral("if exists(") + existence(Marker) + QStringLiteral(") drop table ") + Marker;
}

}  // namespace statements
