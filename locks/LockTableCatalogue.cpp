#include "LockTableCatalogue.h"

#include <QStringList>

namespace {

const char* const kTableNames =
    "LockVouch,GL_mccontrol,Gl_mvcontrol,GL_mvocontrol,Fa_control,FD_LOCKS,AP_LOCK,ia_pzmutex,"
    "gl_lockrows,UA_Control,CN_LockAcctBook,GL_LockRows,Ca_ResLock,WF_PILock,isprocess@@@";

const char* const kDescriptions =
    "单据锁定表,科目并发控制表,凭证并发控制表,外部凭证并发控制表,固定资产并发控制表,结算中心并发控制表,"
    "操作互斥表,核算控制表,项目维护控制表,功能互斥预置表,出纳模块制单锁定表,项目目录锁定表,"
    "资源锁定表（成本管理）,流程实例锁定表,查询分析互斥";

}  // namespace

LockTableCatalogue LockTableCatalogue::build()
{
    const QStringList names = QString::fromUtf8(kTableNames).split(QLatin1Char(','));
    const QStringList descriptions = QString::fromUtf8(kDescriptions).split(QLatin1Char(','));
    LockTableCatalogue catalogue;
    for (qsizetype i = 0; i < names.size(); ++i)
        catalogue.m_entries.append({names.at(i), descriptions.value(i)});
    return catalogue;
}

bool LockTableCatalogue::isProcessMarker(const QString& tableName)
{
    return tableName.toLower() == QLatin1String("isprocess@@@");
}
