#include "TaskStatements.h"

#include "db/SqlLiteral.h"

QString TaskStatements::taskQuery()
{
    return QStringLiteral("select distinct b.ctaskid,b.csub_name,b.cstation,convert(VARCHAR(19),b.dintime,120) as "
                          "登陆时间,b.taskstate from ua_task a right join ua_tasklog b on a.ctaskid=b.ctaskid");
}

// Sent exactly as written, as the suite's administrators know them from their server traces: the
// doubled blank before "cast" and the quoted '5' and '0' (the server converts them to int, the
// type of the other side, so the comparison is numeric) are part of them. Leave them as they are.
QStringList TaskStatements::clearAbnormal()
{
    return {
        QStringLiteral("delete from ua_task where cTaskId in(select cTaskId from ua_tasklog where  cast(TaskState "
                       "as int)>='5' or cast(TaskState as int)<'0')"),
        QStringLiteral("delete from ua_tasklog where  cast(TaskState as int)>='5' or cast(TaskState as int)<'0'"),
    };
}

QStringList TaskStatements::clearAll()
{
    return {QStringLiteral("delete from ua_task"), QStringLiteral("delete from ua_tasklog")};
}

QStringList TaskStatements::clearById(const QString& taskId)
{
    if (taskId == systemManagement())
        return {QStringLiteral("delete from ua_tasklog where cSub_Id='AA' and cSub_Name='") + db::quoted(taskId)
                + QLatin1Char('\'')};
    return {
        QStringLiteral("delete from ua_task where cTaskId='") + db::quoted(taskId) + QLatin1Char('\''),
        QStringLiteral("delete from ua_tasklog where cTaskId='") + db::quoted(taskId) + QLatin1Char('\''),
    };
}

QStringList TaskStatements::clearByStation(const QString& station)
{
    return {
        QStringLiteral("delete from ua_task where cStation='") + db::quoted(station) + QLatin1Char('\''),
        QStringLiteral("delete from ua_tasklog where cStation='") + db::quoted(station) + QLatin1Char('\''),
    };
}

QString TaskStatements::systemManagement()
{
    return QStringLiteral("系统管理");
}
