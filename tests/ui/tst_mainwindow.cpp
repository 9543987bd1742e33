// The main window after a real login against the sandbox: its controls and their initial
// states, the list set-up, the status bar and its clock, and the exits.
#include "support/LoginDriver.h"
#include "support/MainWindowControls.h"
#include "support/MessageBoxDriver.h"
#include "support/SandboxHarness.h"

#include "app/AppSetup.h"
#include "app/ProgramEnd.h"
#include "app/Twips.h"
#include "ui/main/Form2.h"

#include <QtTest>
#include <QtWidgets>

namespace {

QRect pixels(const QRect& twips)
{
    return QRect(Twips::toPixels(twips.x()), Twips::toPixels(twips.y()), Twips::toPixels(twips.width()),
                 Twips::toPixels(twips.height()));
}

QTabWidget* tabs()
{
    return qobject_cast<QTabWidget*>(MainWindowControls::find(QStringLiteral("SSTab1")));
}

}  // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void window();
    void controls_data();
    void controls();
    void lists();
    void statusBarAndClock();
    void exitsEndProgramWithoutQuestion();

private:
    Form2& main() { return Form2::instance(); }

    SandboxHarness m_sandbox;
    MessageBoxDriver* m_boxes = nullptr;
    int m_programEnds = 0;
    QDateTime m_now;
};

void TestMainWindow::initTestCase()
{
    AppSetup::prepare(*qApp);
    ProgramEnd::setAction([this] { ++m_programEnds; });
    m_boxes = new MessageBoxDriver(this);
    QVERIFY(m_sandbox.start());
}

void TestMainWindow::init()
{
    LoginDriver::reset();
    m_programEnds = 0;
    m_boxes->clear();
    m_now = QDateTime(QDate(2024, 2, 9), QTime(23, 59, 58));
    Form2::setClock([this] { return m_now; });
    QVERIFY(LoginDriver(*m_boxes).logIn(m_sandbox.serverName(), m_sandbox.password()));
}

void TestMainWindow::window()
{
    QCOMPARE(main().windowTitle(), QStringLiteral("锁务通"));
    QCOMPARE(main().size(), QSize(450, 405));
    QVERIFY(!main().windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    QVERIFY(!main().windowIcon().isNull());

    QCOMPARE(tabs()->geometry(), pixels(QRect(120, 120, 6495, 5535)));
    QCOMPARE(tabs()->count(), 3);
    QCOMPARE(tabs()->tabText(0), QStringLiteral("清除异常任务"));
    QCOMPARE(tabs()->tabText(1), QStringLiteral("清除单据锁定"));
    QCOMPARE(tabs()->tabText(2), QStringLiteral("清除星桥生成凭证异常"));

    // It opens on the first tab whatever was shown before.
    QCOMPARE(tabs()->currentIndex(), 0);
    tabs()->setCurrentIndex(2);
    LoginDriver::reset();
    QVERIFY(LoginDriver(*m_boxes).logIn(m_sandbox.serverName(), m_sandbox.password()));
    QCOMPARE(tabs()->currentIndex(), 0);
}

void TestMainWindow::controls_data()
{
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("container");  // "tab N" or a frame
    QTest::addColumn<QRect>("twips");
    QTest::addColumn<bool>("enabled");

    auto row = [](const char* name, const QString& caption, const char* container, QRect twips, bool enabled = true) {
        QTest::newRow(name) << caption << QString::fromLatin1(container) << twips << enabled;
    };
    row("Frame1", QStringLiteral("清除选项"), "tab 0", QRect(120, 360, 6255, 1695));
    row("Frame3", QStringLiteral("清除指定"), "Frame1", QRect(120, 240, 4215, 1335));
    row("Option1", QStringLiteral("按ID"), "Frame3", QRect(120, 240, 1095, 375));
    row("Option2", QStringLiteral("按计算机名"), "Frame3", QRect(120, 720, 1575, 375));
    row("Combo1", QString(), "Frame3", QRect(1320, 240, 1575, 300), false);
    row("Combo2", QString(), "Frame3", QRect(1320, 720, 1575, 300), false);
    row("Command3", QStringLiteral("清除"), "Frame3", QRect(3120, 280, 975, 375), false);
    row("Command4", QStringLiteral("刷新"), "Frame3", QRect(3120, 760, 975, 375));
    row("Frame4", QStringLiteral("清除所有"), "Frame1", QRect(4365, 240, 1815, 1335));
    row("Command1", QStringLiteral("清除异常任务"), "Frame4", QRect(150, 280, 1455, 375));
    row("Command2", QStringLiteral("清除所有任务"), "Frame4", QRect(150, 760, 1455, 375));
    row("Frame2", QStringLiteral("运行状态"), "tab 0", QRect(120, 2160, 6255, 3255));
    row("ListView1", QString(), "Frame2", QRect(120, 240, 6015, 2895));

    row("Frame6", QStringLiteral("账套选择"), "tab 1", QRect(120, 360, 6255, 855));
    row("Label1", QStringLiteral("帐套："), "Frame6", QRect(120, 360, 540, 180));
    row("Combo3", QString(), "Frame6", QRect(600, 320, 3015, 300));
    row("Label2", QStringLiteral("年度："), "Frame6", QRect(3720, 360, 540, 180));
    row("Combo4", QString(), "Frame6", QRect(4200, 320, 975, 300));
    row("Command5", QStringLiteral("刷新"), "Frame6", QRect(5280, 280, 855, 375), false);
    row("Frame5", QStringLiteral("单据锁定记录"), "tab 1", QRect(120, 1320, 6255, 3375));
    row("ListView2", QString(), "Frame5", QRect(120, 240, 6015, 3015));
    row("Command6", QStringLiteral("清除(&C)"), "tab 1", QRect(960, 4800, 1215, 495), false);
    row("Command7", QStringLiteral("退出(&E)"), "tab 1", QRect(3840, 4800, 1215, 495));

    row("Frame7", QStringLiteral("说明"), "tab 2", QRect(120, 360, 6255, 855));
    row("Label3", QStringLiteral("当Nova与Orbit集成使用，Nova生成凭证到Orbit时，点击制单没有任何反应"), "Frame7",
        QRect(240, 240, 5040, 180));
    row("Label4", QStringLiteral("请使用此功能进行清除异常"), "Frame7", QRect(240, 480, 2160, 180));
    row("Frame8", QStringLiteral("异常记录"), "tab 2", QRect(120, 1320, 6255, 3375));
    row("ListView3", QString(), "Frame8", QRect(120, 240, 6015, 3015));
    row("Command9", QStringLiteral("刷新(&R)"), "tab 2", QRect(960, 4800, 1215, 495));
    row("Command8", QStringLiteral("退出(&E)"), "tab 2", QRect(3840, 4800, 1215, 495));
}

void TestMainWindow::controls()
{
    QFETCH(QString, caption);
    QFETCH(QString, container);
    QFETCH(QRect, twips);
    QFETCH(bool, enabled);

    const QList<QWidget*> found = main().findChildren<QWidget*>(QString::fromLatin1(QTest::currentDataTag()));
    QCOMPARE(found.size(), 1);
    QWidget* widget = found.first();
    QRect expected = pixels(twips);
    if (container.startsWith(QLatin1String("tab "))) {
        QCOMPARE(tabs()->indexOf(widget->parentWidget()), container.mid(4).toInt());
        // A page's controls sit as high as the tab strip above them, which the twips count in.
        expected.translate(0, -Twips::toPixels(360));
    } else {
        QCOMPARE(widget->parentWidget()->objectName(), container);
    }
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        // A label keeps its place and may grow to show its whole text.
        QCOMPARE(label->pos(), expected.topLeft());
        QVERIFY(label->width() >= qMax(expected.width(), label->sizeHint().width()));
    } else {
        QCOMPARE(widget->geometry(), expected);
    }
    QCOMPARE(widget->property(widget->inherits("QGroupBox") ? "title" : "text").toString(), caption);
    QCOMPARE(widget->isEnabledTo(&main()), enabled);
}

void TestMainWindow::lists()
{
    for (int number = 1; number <= 3; ++number) {
        QTableWidget* list = MainWindowControls::list(number);
        QVERIFY(list->horizontalHeader()->isVisibleTo(list));
        QVERIFY(!list->verticalHeader()->isVisibleTo(list));
        QCOMPARE(list->selectionBehavior(), QAbstractItemView::SelectRows);
        QCOMPARE(list->selectionMode(), QAbstractItemView::SingleSelection);
        QCOMPARE(list->editTriggers(), QAbstractItemView::NoEditTriggers);
    }
    auto check = [](QTableWidget* list, const QStringList& captions, const QList<int>& twips) {
        QCOMPARE(list->columnCount(), captions.size());
        for (int i = 0; i < captions.size(); ++i) {
            QCOMPARE(list->horizontalHeaderItem(i)->text(), captions.at(i));
            QCOMPARE(Qt::Alignment(list->horizontalHeaderItem(i)->textAlignment()) & Qt::AlignHorizontal_Mask,
                     Qt::AlignLeft);
            QCOMPARE(list->columnWidth(i), Twips::toPixels(twips.at(i)));
        }
    };
    check(MainWindowControls::list(1), {"任务ID", "登陆模块", "计算机名", "登陆时间", "任务状态"}, {850, 1000, 1000, 1900, 900});
    check(MainWindowControls::list(2), {"序号", "数据表", "锁定记录数"}, {800, 1900, 1300});
    check(MainWindowControls::list(3), {"帐套号", "年度", "月份", "计算机名", "用户编码", "操作时间"},
          {730, 750, 550, 1000, 1000, 1800});
}

void TestMainWindow::statusBarAndClock()
{
    auto* bar = qobject_cast<QStatusBar*>(MainWindowControls::find(QStringLiteral("StatusBar1")));
    QCOMPARE(bar->geometry(), QRect(0, 405 - 25, 450, 25));
    QList<QLabel*> panels = bar->findChildren<QLabel*>(Qt::FindDirectChildrenOnly);
    QCOMPARE(panels.size(), 3);
    std::sort(panels.begin(), panels.end(), [](QLabel* a, QLabel* b) { return a->x() < b->x(); });
    const int widths[] = {2000, 1800, 3000};
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(panels.at(i)->text(), main().panelText(i + 1));
        QCOMPARE(panels.at(i)->width(), Twips::toPixels(widths[i]));
    }
    QCOMPARE(main().panelText(1), QStringLiteral("当前日期: 2024-02-09"));
    QCOMPARE(main().panelText(2), QStringLiteral("当前时间: 23:59:58"));
    QVERIFY(!main().panelText(3).isEmpty());

    // The clock ticks every second; the date stays as it was at load, past midnight too.
    auto* timer = main().findChild<QTimer*>(QStringLiteral("Timer1"));
    QVERIFY(timer && timer->isActive());
    QCOMPARE(timer->interval(), 1000);
    m_now = QDateTime(QDate(2024, 2, 10), QTime(7, 3, 9));
    QTRY_COMPARE_WITH_TIMEOUT(main().panelText(2), QStringLiteral("当前时间: 07:03:09"), 5000);
    QCOMPARE(main().panelText(1), QStringLiteral("当前日期: 2024-02-09"));

    // With the real clock the panel follows the time of day.
    Form2::setClock({});
    QTRY_VERIFY_WITH_TIMEOUT(main().panelText(2) != QStringLiteral("当前时间: 07:03:09"), 5000);
    const QTime shown = QTime::fromString(main().panelText(2).mid(6), QStringLiteral("HH:mm:ss"));
    const int apart = qAbs(shown.secsTo(QTime::currentTime()));
    QVERIFY2(shown.isValid() && (apart <= 2 || apart >= 86398), qPrintable(main().panelText(2)));
}

void TestMainWindow::exitsEndProgramWithoutQuestion()
{
    m_sandbox.clearStatements();
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
    QCOMPARE(m_boxes->count(), 0);
    QCOMPARE(m_sandbox.statements().size(), 0);
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
