#include "LockTab.h"

#include "ui_form2.h"

#include "LockDetailOpener.h"
#include "app/PublicADO.h"
#include "db/FieldText.h"
#include "db/ServerCall.h"
#include "db/SqlLiteral.h"
#include "ui/ErrorGuard.h"
#include "ui/ListViewSetup.h"
#include "ui/MessageBoxes.h"

#include <QColor>

namespace {

// The statements of this tab go out exactly as written, as the suite's administrators know them
// from their server traces: the doubled blank after "select", the years compared as quoted
// texts (the server converts them to the column's int) and the blank after the closing
// brackets are part of them. Leave them as they are.
QString existenceTest(const QString& tableName)
{
    return QStringLiteral("select  * from dbo.sysobjects where xtype='U' and name ='") + db::quoted(tableName)
        + QStringLiteral("'");
}

constexpr int CountColumn = 2;

}  // namespace

LockTab::LockTab(Ui::Form2& ui, QWidget* window)
    : m_ui(ui)
    , m_window(window)
{
    connect(m_ui.Combo3, &QComboBox::activated, this, ErrorGuard::wrap(m_window, [this] { Combo3_Click(); }));
    connect(m_ui.Combo4, &QComboBox::activated, this, ErrorGuard::wrap(m_window, [this] { Combo4_Click(); }));
    connect(m_ui.Command5, &QPushButton::clicked, this, ErrorGuard::wrap(m_window, [this] { Command5_Click(); }));
    connect(m_ui.Command6, &QPushButton::clicked, this, ErrorGuard::wrap(m_window, [this] { Command6_Click(); }));
    new LockDetailOpener(m_ui.ListView2, m_lockTableCatalogue, m_window, this);
}

void LockTab::BuildLockTableCatalogue()
{
    m_lockTableCatalogue = LockTableCatalogue::build();
}

void LockTab::FillAccountList()
{
    db::Recordset& accounts = PublicADO::LoadRecordset();
    accounts.open(QStringLiteral("Select cAcc_id,cAcc_Name from ua_account"), PublicADO::SysConnection());
    m_ui.Combo3->clear();
    for (; !accounts.eof(); accounts.moveNext()) {
        m_ui.Combo3->addItem(QStringLiteral("[") + db::FieldText::of(accounts.value(0)) + QStringLiteral("]")
                             + db::FieldText::of(accounts.value(1)));
    }
    // A filled list would otherwise show its first account: nothing is chosen until the user picks.
    m_ui.Combo3->setCurrentIndex(-1);
}

QString LockTab::AccountCode() const
{
    return m_ui.Combo3->currentText().mid(1, 3);
}

QString LockTab::year() const
{
    return m_ui.Combo4->currentText();
}

void LockTab::Combo3_Click()
{
    db::Recordset& years = PublicADO::YearRecordset();
    try {
        years.setCursorLocation(db::CursorLocation::Server);
        years.open(QStringLiteral("select distinct iyear from UA_Period where cacc_id='") + db::quoted(AccountCode())
                       + QStringLiteral("' and ISNULL(bIsDelete,0)=0"),
                   PublicADO::SysConnection());
        m_ui.Combo4->clear();
        for (; !years.eof(); years.moveNext())
            m_ui.Combo4->addItem(db::FieldText::of(years.value(0)));
    } catch (...) {
        // The years on offer would be another account's, or only some of this one's: a scan
        // must not pair them with the account now chosen.
        m_ui.Combo4->clear();
        m_ui.Command5->setEnabled(false);
        m_ui.Command6->setEnabled(false);
        throw;
    }

    m_ui.Command6->setEnabled(false);
    if (m_ui.Combo4->count() == 0) {
        // Without a year there is no business database to resolve, so there is nothing to scan.
        m_ui.Command5->setEnabled(false);
        return;
    }
    m_ui.Combo4->setCurrentIndex(0);
    Combo4_Click();
    m_ui.Command5->setEnabled(true);
}

void LockTab::Combo4_Click()
{
    // The list still shows the previous year's scan; clearing waits for a scan of this one.
    m_ui.Command6->setEnabled(false);
}

QString LockTab::GetAccountDb()
{
    db::Recordset& lookup = PublicADO::AccountDbRecordset();
    lookup.open(QStringLiteral("select * from sysobjects where name='UA_AccountDatabase' and xtype='U'"),
                PublicADO::SysConnection());
    if (lookup.recordCount() == 0)
        return QStringLiteral("ZRDATA_") + AccountCode() + QStringLiteral("_") + year();

    const QString quotedYear = db::quoted(year());
    lookup.open(QStringLiteral("select cDatabase from UA_AccountDatabase where cAcc_Id='") + db::quoted(AccountCode())
                    + QStringLiteral("' and (iBeginYear<='") + quotedYear + QStringLiteral("' and (iEndYear>='")
                    + quotedYear + QStringLiteral("' or iEndYear is null)) "),
                PublicADO::SysConnection());
    if (lookup.recordCount() == 1) {
        const QString name = db::FieldText::of(lookup.value(0));
        // A mapping row without a database name resolves nothing, just like a missing row.
        if (!name.isEmpty())
            return name;
    }
    MessageBoxes::information(m_window, QStringLiteral("无法获取年度对应的数据库！"));
    return {};
}

bool LockTab::OpenAccountConnection()
{
    const QString name = GetAccountDb();
    // An empty catalogue would land on the login's default database: never scan or clear there.
    if (name.isEmpty())
        return false;
    PublicADO::OpenConnection(PublicADO::AccountConnection(), PublicADO::AccountConnectionString(), name);
    return true;
}

bool LockTab::ReLockTb()
{
    try {
        return scanLockTables();
    } catch (...) {
        // A half-built list would show some tables as free of locks that were never looked at.
        forgetScan();
        throw;
    }
}

void LockTab::forgetScan()
{
    m_ui.ListView2->setRowCount(0);
    m_lockedTableCount = 0;
    m_ui.Command6->setEnabled(false);
}

bool LockTab::scanLockTables()
{
    m_lockedTableCount = 0;
    m_ui.ListView2->setRowCount(0);
    if (!OpenAccountConnection())
        return false;

    db::Connection& connection = PublicADO::AccountConnection();
    db::Recordset& existence = PublicADO::LockTableRecordset();
    db::Recordset& rows = PublicADO::LockRowRecordset();
    QList<QStringList> found;
    for (const LockTableEntry& entry : m_lockTableCatalogue.entries()) {
        const db::ServerCall::Label label(QStringLiteral("正在扫描锁定表 %1/%2：%3")
                                              .arg(&entry - m_lockTableCatalogue.entries().data() + 1)
                                              .arg(m_lockTableCatalogue.entries().size())
                                              .arg(entry.TableName));
        existence.open(existenceTest(entry.TableName), connection);
        if (existence.recordCount() == 0)
            continue;
        QString count;
        if (LockTableCatalogue::isProcessMarker(entry.TableName)) {
            count = QStringLiteral("1");
        } else {
            // Counted as the rows stream past: a lock table may hold far more rows than fit in memory.
            rows.openCounting(QStringLiteral("select * from ") + entry.TableName, connection);
            count = QString::number(rows.recordCount());
        }
        found.append({QString::number(found.size() + 1), entry.Description, count});
    }
    ListViewSetup::fill(m_ui.ListView2, found);

    // No row is left selected: a highlighted row would hide its red from the user.
    const QColor red(255, 0, 0);
    for (int row = 0; row < m_ui.ListView2->rowCount(); ++row) {
        if (m_ui.ListView2->item(row, CountColumn)->text().toLongLong() == 0)
            continue;
        ++m_lockedTableCount;
        for (int column = 0; column < m_ui.ListView2->columnCount(); ++column)
            m_ui.ListView2->item(row, column)->setForeground(red);
    }
    return true;
}

void LockTab::Command5_Click()
{
    if (!ReLockTb()) {
        m_ui.Command6->setEnabled(false);
        return;
    }
    if (m_lockedTableCount != 0) {
        m_ui.Command6->setEnabled(true);
        MessageBoxes::information(m_window, QStringLiteral("共有") + QString::number(m_lockedTableCount)
                                                + QStringLiteral("个单据有锁定记录\r\n请点击【清除】按钮进行清除"));
    } else {
        m_ui.Command6->setEnabled(false);
        MessageBoxes::information(m_window, QStringLiteral("没有锁定的记录"));
    }
}

bool LockTab::ClearTb()
{
    if (!OpenAccountConnection())
        return false;

    db::Connection& connection = PublicADO::AccountConnection();
    db::Recordset& existence = PublicADO::LockTableRecordset();
    for (const LockTableEntry& entry : m_lockTableCatalogue.entries()) {
        const db::ServerCall::Label label(QStringLiteral("正在清除锁定表 %1/%2：%3")
                                              .arg(&entry - m_lockTableCatalogue.entries().data() + 1)
                                              .arg(m_lockTableCatalogue.entries().size())
                                              .arg(entry.TableName));
        existence.open(existenceTest(entry.TableName), connection);
        if (LockTableCatalogue::isProcessMarker(entry.TableName)) {
            // The statement carries its own existence test, so it is sent either way.
            connection.execute(QStringLiteral("if exists(") + existenceTest(entry.TableName)
                               + QStringLiteral(") drop table ") + entry.TableName);
        } else if (existence.recordCount() >= 1) {
            connection.execute(QStringLiteral("delete from ") + entry.TableName);
        }
    }
    return true;
}

void LockTab::Command6_Click()
{
    bool cleared = false;
    try {
        cleared = ClearTb();
    } catch (...) {
        // Some tables may be cleared by now: the scan on screen no longer tells the truth.
        forgetScan();
        throw;
    }
    const bool rescanned = cleared && ReLockTb();
    m_ui.Command6->setEnabled(false);
    if (rescanned)
        MessageBoxes::information(m_window, QStringLiteral("清除完毕"));
}
