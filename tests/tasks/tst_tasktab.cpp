// The first tab through the real windows against the sandbox. Faults it is there to catch:
// - a wrong or unquoted statement (quotes not doubled, a condition dropped, the wrong connection);
// - a row missing or with the wrong state text; duplicate or empty selector entries;
// - a pick selecting the wrong row or leaving "清除" wrongly enabled; a message out of order with
//   its reload; a clearing that removes other rows or goes ahead after "否".
#include "support/DatabaseSnapshot.h"
#include "support/InformationBox.h"
#include "support/LoginDriver.h"
#include "support/MainWindowControls.h"
#include "support/ProgramStatements.h"
#include "support/SessionFixture.h"

#include "tasks/TaskStateClassifier.h"
#include "ui/main/Form2.h"

#include <QtTest>
#include <QtWidgets>

using Controls = MainWindowControls;
using statements::TaskQuery;

namespace {

enum Command { ById, ByStation, Abnormal, All };

// ua_tasklog (cTaskId, cSub_Id, cSub_Name, cStation, dInTime, TaskState) and ua_task (cTaskId,
// cStation). PC1 holds three tasks, "系统管理" (no id) shows twice, T6 has no ua_task row.
const QString StandardLog = QStringLiteral(
    "'T1', 'GL', '总账', 'PC1', '2024-03-01 08:30:00', '1'), ('T2', 'FA', '固定资产', 'PC2', '2024-03-01 09:00:05', '0'), "
    "('T3', 'GL', '总账', 'PC1', '2024-03-02 10:15:00', '5'), (null, 'AA', '系统管理', 'SRV', '2024-03-03 11:00:00', '1'), "
    "('T4', 'AR', '应收', 'PC3', '2024-03-04 12:00:00', '-1'), (null, 'AA', '系统管理', 'PC2', '2024-03-05 13:00:00', '2'), "
    "('T5', 'AP', '应付', 'PC1', '2024-03-06 14:00:00', '7'), ('T6', 'GL', '总账', 'PC4', '2024-03-07 15:00:00', '3'");
const QString StandardTasks = QStringLiteral("'T1', 'PC1'), ('T2', 'PC2'), ('T3', 'PC1'), ('T4', 'PC3'), ('T5', 'PC1'), ('T9', ''");

// Names that each stand for one kind of trouble, then the plain one a pattern or a broken quote
// would hit too. Each is one task's id and the next task's computer.
const QStringList Awkward = {"PC'1", "''", "PC;1", "PC--1", "x';delete from ua_tasklog;--", "PC]1", "PC%1", "PC_1",
                             "财务室-张会计", " PC1", "PC1 ", QString(99, 'W') + "'" + QString(100, QChar(0x4E2D)), "PC1"};

QList<QVariantList> awkwardLog()
{
    const QStringList states = {"1", "5", "-1", "0", "4", "7", "10", "2"};
    QList<QVariantList> rows;
    for (int i = 0; i < Awkward.size(); ++i)
        rows.append({Awkward[i], "GL", "总账", Awkward[(i + 1) % Awkward.size()], "2024-03-01 08:00:00", states[i % states.size()]});
    // The system-management module's rows go by module and name: the second and third stay.
    return rows + QList<QVariantList>{{QVariant(), "AA", "系统管理", "SRV", "2024-03-02 07:00:00", "0"},
                                      {QVariant(), "GL", "系统管理", "PC3", "2024-03-02 07:01:00", "6"},
                                      {"SM1", "AA", "总账", "PC3", "2024-03-02 07:02:00", "1"}, {"SM2", "AA", "系统管理", "PC4", "2024-03-02 07:03:00", "1"}};
}

QString tuples(const QList<QVariantList>& rows)
{
    QStringList texts;
    for (const QVariantList& row : rows) {
        QStringList values;
        for (const QVariant& value : row)
            values.append(value.isNull() ? QStringLiteral("null") : "'" + statements::quoted(value.toString()) + "'");
        texts.append(values.join(", "));
    }
    return texts.join("), (");
}

// The server compares texts without regard to trailing blanks.
bool sameText(const QVariant& a, const QString& b)
{
    static const QRegularExpression trailing(QStringLiteral(" +$"));
    return !a.isNull() && a.toString().remove(trailing) == QString(b).remove(trailing);
}

}  // namespace

class TstTaskTab : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(m_session.start()); }
    void init() { m_session.reset(); }
    void stateText_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("shown");
        // The leading number counts, an exponent only with digits after it; normal is 0 up to below 5.
        for (const auto& [stored, shown] : QList<QPair<QString, QString>>{
                 {"5", "异常"}, {"-0.1", "异常"}, {".5", "正常(.5)"}, {" 2 ", "正常( 2 )"}, {"6x", "异常"}, {"1 9", "正常(1 9)"},
                 {"5e-1", "正常(5e-1)"}, {"5e", "异常"}, {"1e999", "异常"}, {"-1e999", "异常"}})
            QTest::newRow(qPrintable(stored)) << stored << shown;
    }

    void stateText()
    {
        QFETCH(QString, stored);
        QFETCH(QString, shown);
        QCOMPARE(TaskStateClassifier::displayText(stored), shown);
    }

    void load_data()
    {
        QTest::addColumn<QString>("log");
        QTest::addColumn<QStringList>("shown");  // sorted
        QTest::newRow("standard") << StandardLog << QStringList{
            "T1 总账 PC1 2024-03-01 08:30:00 正常(1)", "T2 固定资产 PC2 2024-03-01 09:00:05 正常(0)", "T3 总账 PC1 2024-03-02 10:15:00 异常",
            "T4 应收 PC3 2024-03-04 12:00:00 异常", "T5 应付 PC1 2024-03-06 14:00:00 异常", "T6 总账 PC4 2024-03-07 15:00:00 正常(3)",
            "系统管理 系统管理 PC2 2024-03-05 13:00:00 正常(2)", "系统管理 系统管理 SRV 2024-03-03 11:00:00 正常(1)"};
        // NULL shows as empty text; a computer that is not known offers no entry to clear by.
        QTest::newRow("null columns, odd states")
            << "'T1', 'GL', null, null, null, null), (null, 'GL', '总账', 'PC1', '2024-03-01 08:30:00', '4.5'), ('T3', 'GL', '总账', "
               "'PC2', '2024-03-01 08:31:00', 'abc'), ('T4', 'GL', '总账', '', '2024-03-01 08:32:00', ' 6'"
            << QStringList{"T1    正常()", "T3 总账 PC2 2024-03-01 08:31:00 正常(abc)", "T4 总账  2024-03-01 08:32:00 异常", "系统管理 总账 PC1 2024-03-01 08:30:00 正常(4.5)"};
    }

    void load()
    {
        QFETCH(QString, log);
        QFETCH(QStringList, shown);
        logIn(log);
        QTableWidget* list = Controls::list(1);
        QStringList rows = Controls::rows(list);
        rows.sort();
        QCOMPARE(rows, shown);
        // Server's order; one id entry per row, duplicates kept; each known computer once, first seen first.
        QStringList serverOrder, stations;
        for (const QVariantList& row : m_session.data().rows("zrsystem", TaskQuery)) {
            serverOrder.append(row[3].toString());
            if (!row[2].isNull() && !stations.contains(row[2].toString()))
                stations.append(row[2].toString());
        }
        QCOMPARE(Controls::column(list, 3), serverOrder);
        QCOMPARE(Controls::entries(Controls::combo(1)), Controls::column(list, 0));
        QCOMPARE(Controls::entries(Controls::combo(2)), stations);
        // Nothing is chosen as the tab opens.
        QVERIFY(Controls::combo(1)->currentIndex() == -1 && Controls::combo(2)->currentIndex() == -1 && list->selectedItems().isEmpty());
        QVERIFY(!Controls::option(1)->isChecked() && !Controls::option(2)->isChecked() && !Controls::command(3)->isEnabled());
    }

    void optionsAndPicks()
    {
        logIn();
        Form2::instance().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&Form2::instance()));
        QComboBox* ids = Controls::combo(1);
        QComboBox* stations = Controls::combo(2);
        QPushButton* clear = Controls::command(3);
        QTableWidget* list = Controls::list(1);
        const QStringList shown = Controls::column(list, 0);
        const auto selectedRow = [list] { return list->selectionModel()->selectedRows().size() == 1 ? list->selectionModel()->selectedRows()[0].row() : -1; };

        // A pick enables "清除"; the other option drops it, its own selector having no pick yet.
        Controls::option(2)->click();
        QVERIFY(stations->isEnabled() && !ids->isEnabled() && !clear->isEnabled());
        QVERIFY(Controls::pick(stations, "PC3") && clear->isEnabled());
        Controls::option(1)->click();
        QVERIFY(!Controls::option(2)->isChecked() && ids->isEnabled() && !stations->isEnabled() && !clear->isEnabled());
        QVERIFY(stations->currentIndex() == -1 && list->selectedItems().isEmpty());

        // As on platforms that grey out the selection of an unfocused list.
        QPalette grey = list->palette();
        grey.setColor(QPalette::Inactive, QPalette::Highlight, QColor(0xd0, 0xd0, 0xd0));
        list->setPalette(grey);
        ids->setFocus();
        // The later duplicate entry still selects the first row bearing the text.
        const int later = int(Controls::entries(ids).lastIndexOf("系统管理"));
        QVERIFY(later != shown.indexOf("系统管理"));
        ids->setCurrentIndex(later);
        emit ids->activated(later);
        QVERIFY(clear->isEnabled());
        QCOMPARE(selectedRow(), shown.indexOf("系统管理"));
        // Highlighted while the selector keeps the focus: the inactive highlight is the active one.
        QVERIFY(ids->hasFocus());
        QCOMPARE(list->palette().color(QPalette::Inactive, QPalette::Highlight), list->palette().color(QPalette::Active, QPalette::Highlight));

        // A later pick moves the one selected row; a pick of a computer leaves it alone.
        QVERIFY(Controls::pick(ids, "T5"));
        Controls::option(2)->click();
        QCOMPARE(ids->currentIndex(), -1);
        QVERIFY(Controls::pick(stations, "PC1"));
        QCOMPARE(selectedRow(), shown.indexOf("T5"));
        QVERIFY(sent().isEmpty() && boxes().count() == 0);
    }

    void refresh()
    {
        logIn();
        QComboBox* ids = Controls::combo(1);
        QComboBox* stations = Controls::combo(2);
        Controls::option(1)->click();
        QVERIFY(Controls::pick(ids, "T1"));
        m_session.data().exec("zrsystem", "delete from ua_tasklog where cTaskId='T1'");

        // With rows: lists reloaded, picks dropped; the option and the enabled selector stay.
        Controls::command(4)->click();
        QVERIFY(sent() == QStringList{TaskQuery} && boxes().count() == 0);
        QCOMPARE(Controls::list(1)->rowCount(), 7);
        QVERIFY(!Controls::entries(ids).contains("T1") && ids->currentIndex() == -1 && stations->currentIndex() == -1 && !Controls::command(3)->isEnabled());
        QVERIFY(Controls::option(1)->isChecked() && ids->isEnabled() && !stations->isEnabled());

        // Without rows: a message, and the selectors keep their entries and pick.
        const QStringList oldIds = Controls::entries(ids), oldStations = Controls::entries(stations);
        QVERIFY(Controls::pick(ids, "T4"));
        m_session.data().exec("zrsystem", "delete from ua_tasklog");
        m_session.forget();
        Controls::command(4)->click();
        QCOMPARE(boxes().count(), 1);
        verifyInformation(boxes().last(), "当前没有任何任务记录");
        QVERIFY(sent() == QStringList{TaskQuery} && Controls::list(1)->rowCount() == 0 && !Controls::command(3)->isEnabled());
        QVERIFY(Controls::entries(ids) == oldIds && Controls::entries(stations) == oldStations && ids->currentText() == "T4");

        // A stale entry still clears by its id; the silent reload afterwards empties the selectors.
        m_session.forget();
        QVERIFY(Controls::pick(ids, "T2"));
        Controls::command(3)->click();
        QCOMPARE(sent(), (QStringList{"delete from ua_task where cTaskId='T2'", "delete from ua_tasklog where cTaskId='T2'", TaskQuery}));
        QCOMPARE(boxes().texts().mid(1), QStringList{"ID为[T2]的任务清除成功"});
        QVERIFY(ids->count() == 0 && stations->count() == 0 && !Controls::command(3)->isEnabled());

        // On an empty list neither clearing command sends a statement; "清除所有任务" does not even ask.
        m_session.forget();
        boxes().clear();
        Controls::command(1)->click();
        Controls::command(2)->click();
        QVERIFY(sent().isEmpty());
        QCOMPARE(boxes().count(), 2);
        for (const MessageBoxDriver::Box& box : boxes().boxes())
            verifyInformation(box, "没有需要清除的记录");
        QCOMPARE(m_session.data().count("zrsystem", "ua_task"), 5);
    }

    void clear_data()
    {
        QTest::addColumn<int>("command");
        QTest::addColumn<QString>("value");  // the pick; for 清除所有任务 the answer
        for (int command : {ById, ByStation})
            for (const QString& name : Awkward)
                QTest::addRow("%s \"%s\"", command == ById ? "id" : "computer", qPrintable(name.left(28))) << command << name;
        QTest::newRow("system management") << int(ById) << QStringLiteral("系统管理");
        QTest::newRow("abnormal") << int(Abnormal) << QString();
        QTest::newRow("all, answered yes") << int(All) << QStringLiteral("是");
        QTest::newRow("all, answered no") << int(All) << QStringLiteral("否");
    }

    void clear()
    {
        QFETCH(int, command);
        QFETCH(QString, value);
        const QList<QVariantList> log = awkwardLog();
        QList<QVariantList> tasks{{"T-orphan", "SRV"}};
        for (const QVariantList& row : log)
            if (!row[0].isNull())
                tasks.append({row[0], row[3]});
        logIn(tuples(log), tuples(tasks));
        const DatabaseSnapshot before = DatabaseSnapshot::take(m_session.data());
        int rowsWhileShown = -1;
        boxes().onShown([&](const QMessageBox&) { rowsWhileShown = Controls::list(1)->rowCount(); });

        const bool byPick = command == ById || command == ByStation, systemManagement = value == QStringLiteral("系统管理");
        const QString where = QString(command == ById ? " where cTaskId='" : " where cStation='") + statements::quoted(value) + "'";
        QStringList expectedSent{"delete from ua_task" + where, "delete from ua_tasklog" + where};
        QString message = "计算机名为[" + value + "]的任务清除成功";
        if (byPick) {
            Controls::option(command == ById ? 1 : 2)->click();
            QVERIFY(Controls::pick(Controls::combo(command == ById ? 1 : 2), value));
            if (command == ById) {
                const QList<QTableWidgetItem*> selected = Controls::list(1)->selectedItems();
                QVERIFY(!selected.isEmpty() && Controls::list(1)->item(selected[0]->row(), 0)->text() == value);
                message = systemManagement ? "[系统管理]的登陆任务清除成功" : "ID为[" + value + "]的任务清除成功";
            }
            if (systemManagement)
                expectedSent = QStringList{"delete from ua_tasklog where cSub_Id='AA' and cSub_Name='系统管理'"};
            Controls::command(3)->click();
        } else if (command == Abnormal) {
            Controls::command(1)->click();
            message = "异常任务清除完毕";
            expectedSent = statements::ClearAbnormal;
        } else {
            boxes().answer(value == QStringLiteral("是") ? QMessageBox::Yes : QMessageBox::No);
            Controls::command(2)->click();
            const MessageBoxDriver::Box question = boxes().boxes().first();
            QVERIFY(question.text == "确认要清退所有站点吗？" && question.title == "警告" && question.icon == QMessageBox::Question
                    && question.buttons == QMessageBox::StandardButtons(QMessageBox::Yes | QMessageBox::No));
            message = "清除成功";
            expectedSent = value == QStringLiteral("是") ? QStringList{"delete from ua_task", "delete from ua_tasklog"} : QStringList();
        }
        const bool no = value == QStringLiteral("否");
        QCOMPARE(boxes().count(), command == All && !no ? 2 : 1);
        if (!no)
            verifyInformation(boxes().last(), message);
        QCOMPARE(sent(), no ? QStringList() : expectedSent << TaskQuery);

        // Exactly the rows the condition names, as the server reads it.
        const auto goes = [&](const QVariantList& row, bool isLog) {
            if (command == ById && systemManagement)
                return isLog && row[1] == "AA" && row[2] == "系统管理";
            if (byPick)
                return sameText(row[command == ById ? 0 : (isLog ? 3 : 1)], value);
            if (command == Abnormal)
                return std::any_of(log.begin(), log.end(), [&](const QVariantList& l) { return (l[5].toInt() < 0 || l[5].toInt() >= 5) && (isLog ? l == row : sameText(l[0], row[0].toString())); });
            return !no;
        };
        QStringList expected;
        for (const QVariantList& row : log)
            if (goes(row, true))
                expected.append(DatabaseSnapshot::removed("zrsystem", "ua_tasklog", row));
        const int logLeft = int(log.size() - expected.size());
        for (const QVariantList& row : tasks)
            if (goes(row, false))
                expected.append(DatabaseSnapshot::removed("zrsystem", "ua_task", row));
        expected.sort();
        QCOMPARE(before.differences(DatabaseSnapshot::take(m_session.data())), expected);
        // "清除" shows its message over the old list and reloads after; the others reload first.
        QCOMPARE(rowsWhileShown, byPick || no ? log.size() : logLeft);
        QCOMPARE(Controls::list(1)->rowCount(), logLeft);
        if (byPick && !systemManagement)
            QVERIFY(!Controls::entries(Controls::combo(command == ById ? 1 : 2)).contains(value));
    }

private:
    void logIn(const QString& log = StandardLog, const QString& tasks = StandardTasks)
    {
        m_session.startOver("insert into ua_task values (" + tasks + ") insert into ua_tasklog values (" + log + ")");
        QVERIFY(m_session.logIn());
    }
    QStringList sent() const { return m_session.sent(SessionFixture::On::Sys); }
    MessageBoxDriver& boxes() { return m_session.boxes(); }

    SessionFixture m_session;
};

QTEST_MAIN(TstTaskTab)
#include "tst_tasktab.moc"
