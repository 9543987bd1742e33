// The main window after a real login against the sandbox, and the message boxes and error guard of
// every handler. Faults caught: the window opening on another tab than the first; a list with wrong
// or misplaced columns or widths, or open to editing or many selections; status-bar panels showing
// other than the window's own texts; a clock that stops, or a date that follows it past midnight; an
// exit that asks, sends a statement, or fires from the hidden tab's accelerator; a box with the wrong
// title, icon, buttons, default or owner, or taking server texts for markup; a failure, whatever was
// thrown, not shown with its own text in its handler's box, or not ending that handler.
#include "support/MainWindowControls.h"
#include "support/SessionFixture.h"

#include "app/ProgramEnd.h"
#include "ui/ErrorGuard.h"
#include "ui/Twips.h"
#include "ui/main/Form2.h"

#include <QtTest>
#include <QtWidgets>
#include <stdexcept>

using Show = std::function<void(QWidget*)>;
Q_DECLARE_METATYPE(Show)

class TestMainWindow : public QObject {
    Q_OBJECT

private:
    Form2& main() { return Form2::instance(); }
    QTabWidget* tabs() { return qobject_cast<QTabWidget*>(MainWindowControls::find(QStringLiteral("SSTab1"))); }

    SessionFixture m_session;
    int m_programEnds = 0;
    QDateTime m_now;

private slots:
    void initTestCase()
    {
        QVERIFY(m_session.start());
        ProgramEnd::setAction([this] { ++m_programEnds; });
    }

    void init()
    {
        m_session.reset();
        m_programEnds = 0;
        m_now = QDateTime(QDate(2024, 2, 9), QTime(23, 59, 58));
        Form2::setClock([this] { return m_now; });
        QVERIFY(m_session.logIn());
    }

    void opensOnTheFirstTab()
    {
        QCOMPARE(tabs()->currentIndex(), 0);
        tabs()->setCurrentIndex(2);
        m_session.reset();
        QVERIFY(m_session.logIn());
        QCOMPARE(tabs()->currentIndex(), 0);
    }

    void lists()
    {
        const QList<std::tuple<QStringList, QList<int>>> expected = {
            {{"任务ID", "登陆模块", "计算机名", "登陆时间", "任务状态"}, {850, 1000, 1000, 1900, 900}},
            {{"序号", "数据表", "锁定记录数"}, {800, 1900, 1300}},
            {{"帐套号", "年度", "月份", "计算机名", "用户编码", "操作时间"}, {730, 750, 550, 1000, 1000, 1800}},
        };
        for (int number = 1; number <= 3; ++number) {
            QTableWidget* list = MainWindowControls::list(number);
            QVERIFY(list->selectionMode() == QAbstractItemView::SingleSelection && list->editTriggers() == QAbstractItemView::NoEditTriggers);
            const auto& [captions, twips] = expected.at(number - 1);
            QCOMPARE(list->columnCount(), captions.size());
            for (int i = 0; i < captions.size(); ++i)
                QVERIFY(list->horizontalHeaderItem(i)->text() == captions.at(i) && list->columnWidth(i) == Twips::toPixels(twips.at(i)));
        }
    }

    void statusBarAndClock()
    {
        auto* bar = qobject_cast<QStatusBar*>(MainWindowControls::find(QStringLiteral("StatusBar1")));
        QList<QLabel*> panels = bar->findChildren<QLabel*>(Qt::FindDirectChildrenOnly);
        QCOMPARE(panels.size(), 3);
        std::sort(panels.begin(), panels.end(), [](QLabel* a, QLabel* b) { return a->x() < b->x(); });
        for (int i = 0; i < 3; ++i)
            QCOMPARE(panels.at(i)->text(), main().panelText(i + 1));
        QVERIFY(main().panelText(1) == QStringLiteral("当前日期: 2024-02-09") && !main().panelText(3).isEmpty());
        QCOMPARE(main().panelText(2), QStringLiteral("当前时间: 23:59:58"));

        // The clock ticks every second; the date stays as it was at load, past midnight too.
        m_now = QDateTime(QDate(2024, 2, 10), QTime(7, 3, 9));
        QTRY_COMPARE_WITH_TIMEOUT(main().panelText(2), QStringLiteral("当前时间: 07:03:09"), 3000);
        QCOMPARE(main().panelText(1), QStringLiteral("当前日期: 2024-02-09"));
    }

    void exitsEndProgramWithoutQuestion()
    {
        MainWindowControls::command(7)->click();
        QCOMPARE(m_programEnds, 1);
        MainWindowControls::command(8)->click();
        QCOMPARE(m_programEnds, 2);
        main().close();
        QCOMPARE(m_programEnds, 3);

        // The accelerator of the shown tab's "退出(&E)", and only that one.
        main().show();
        tabs()->setCurrentIndex(1);
        main().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&main()));
        QTest::keyClick(&main(), Qt::Key_E, Qt::AltModifier);
        QTRY_COMPARE(m_programEnds, 4);  // an accelerator presses its button visibly, a moment later
        QTest::qWait(200);
        QCOMPARE(m_programEnds, 4);
        QCOMPARE(m_session.boxes().count(), 0);
        QCOMPARE(m_session.sentTo(), QStringList{});
    }

    void boxes_data()
    {
        // The login's box, the error box and the guard's database errors are the login and tab tests'.
        QTest::addColumn<Show>("show");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("icon");
        QTest::addColumn<QStringList>("buttons");
        const QString markup = QStringLiteral("共有3个单据有锁定记录\r\n<b>请点击【清除】按钮进行清除</b>");
        const QStringList ok = {QStringLiteral("确定")};
        QTest::newRow("information") << Show([=](QWidget* w) { MessageBoxes::information(w, markup); }) << markup << "提示"
                                     << int(QMessageBox::Information) << ok;
        QTest::newRow("question") << Show([](QWidget* w) { QVERIFY(MessageBoxes::question(w, "确认要清退所有站点吗？")); })
                                  << "确认要清退所有站点吗？" << "警告" << int(QMessageBox::Question) << QStringList{"是(Y)", "否(N)"};
        // The guard: the failure's own text, the rest of the handler skipped, false for the caller.
        const auto guarded = [](auto thrown) {
            return Show([=](QWidget* w) {
                bool rest = false;
                QVERIFY(!ErrorGuard::run(w, [&] { thrown(); rest = true; }));
                QVERIFY(!rest);
            });
        };
        QTest::newRow("guard, other") << guarded([] { throw std::runtime_error("disk full"); }) << "disk full" << "错误"
                                      << int(QMessageBox::Critical) << ok;
        QTest::newRow("guard, anything") << guarded([] { throw 42; }) << "未知错误" << "错误" << int(QMessageBox::Critical) << ok;
    }

    void boxes()
    {
        QFETCH(Show, show);
        QFETCH(QString, text);
        QFETCH(QString, title);
        QFETCH(int, icon);
        QFETCH(QStringList, buttons);
        m_session.boxes().answer(QMessageBox::Yes);
        show(&main());
        QCOMPARE(m_session.boxes().count(), 1);
        const MessageBoxDriver::Box& box = m_session.boxes().last();
        QCOMPARE(box.text, text);
        QCOMPARE(box.textFormat, Qt::PlainText);
        QCOMPARE(box.title, title);
        QCOMPARE(int(box.icon), icon);
        QCOMPARE(box.buttonTexts, buttons);
        QCOMPARE(box.defaultButton, buttons.size() == 1 ? QMessageBox::Ok : QMessageBox::Yes);
        QVERIFY(box.modal);
        QCOMPARE(box.parentWindow, QStringLiteral("form2"));
        // The program goes on.
        QVERIFY(main().isVisible() && m_programEnds == 0);
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
