// The message boxes every handler uses and the error guard around the handlers: what the user
// reads, and that a failing handler leaves the program running. Answers are pressed by the tab tests.
#include "support/MessageBoxDriver.h"

#include "app/AppSetup.h"
#include "app/ErrorGuard.h"
#include "app/MessageBoxes.h"
#include "app/ProgramEnd.h"
#include "db/DbError.h"

#include <QtTest>
#include <QtWidgets>
#include <stdexcept>

class TestMessageBoxes : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void boxesShowExactTextTitleIconAndChineseButtons();
    void guardShowsFailureAndStopsOnlyThatHandler();

private:
    QWidget* window() { return &m_window; }

    MessageBoxDriver* m_driver = nullptr;
    int m_programEnds = 0;
    QWidget m_window;
};

void TestMessageBoxes::initTestCase()
{
    AppSetup::prepare(*qApp);
    ProgramEnd::setAction([this] { ++m_programEnds; });
    m_driver = new MessageBoxDriver(this);
    m_window.setObjectName(QStringLiteral("owner"));
    m_window.show();
}

void TestMessageBoxes::init()
{
    m_driver->clear();
}

void TestMessageBoxes::boxesShowExactTextTitleIconAndChineseButtons()
{
    MessageBoxes::information(window(), QStringLiteral("共有3个单据有锁定记录\r\n请点击【清除】按钮进行清除"));
    MessageBoxes::question(window(), QStringLiteral("确认要清退所有站点吗？"));
    // Server texts may look like markup; they show as written.
    MessageBoxes::error(window(), QStringLiteral("Incorrect syntax near '<b>'."));
    MessageBoxes::loginFailure(window(), QStringLiteral("Login failed for user 'sa'."));

    const QStringList ok = {QStringLiteral("确定")};
    const QList<std::tuple<QString, QString, QMessageBox::Icon, QStringList, QMessageBox::StandardButton>> expected = {
        {"共有3个单据有锁定记录\r\n请点击【清除】按钮进行清除", "提示", QMessageBox::Information, ok, QMessageBox::Ok},
        {"确认要清退所有站点吗？", "警告", QMessageBox::Question, {"是(Y)", "否(N)"}, QMessageBox::Yes},
        {"Incorrect syntax near '<b>'.", "错误", QMessageBox::Critical, ok, QMessageBox::Ok},
        {"Login failed for user 'sa'.", "", QMessageBox::Information, ok, QMessageBox::Ok},
    };
    QCOMPARE(m_driver->count(), expected.size());
    for (int i = 0; i < expected.size(); ++i) {
        const MessageBoxDriver::Box& box = m_driver->boxes().at(i);
        QCOMPARE(box.text, std::get<0>(expected.at(i)));
        QCOMPARE(box.textFormat, Qt::PlainText);
        QCOMPARE(box.title, std::get<1>(expected.at(i)));
        QCOMPARE(box.icon, std::get<2>(expected.at(i)));
        QCOMPARE(box.buttonTexts, std::get<3>(expected.at(i)));
        QCOMPARE(box.defaultButton, std::get<4>(expected.at(i)));
        QVERIFY(box.modal);
        QCOMPARE(box.parentWindow, QStringLiteral("owner"));
    }
}

void TestMessageBoxes::guardShowsFailureAndStopsOnlyThatHandler()
{
    QStringList steps;
    QPushButton failing(window());
    connect(&failing, &QPushButton::clicked, window(), ErrorGuard::wrap(window(), [&] {
        steps << QStringLiteral("first");
        throw db::DbError(QStringLiteral("[FreeTDS][SQL Server]Invalid object name 'ua_task'."), QStringLiteral("42S02"),
                          208);
    }));
    QPushButton other(window());
    connect(&other, &QPushButton::clicked, window(), ErrorGuard::wrap(window(), [&] { steps << QStringLiteral("other"); }));

    failing.click();
    QCOMPARE(m_driver->count(), 1);
    QCOMPARE(m_driver->last().title, QStringLiteral("错误"));
    QCOMPARE(m_driver->last().text, QStringLiteral("[FreeTDS][SQL Server]Invalid object name 'ua_task'."));
    QCOMPARE(m_driver->last().icon, QMessageBox::Critical);

    // The program goes on: other handlers run, and nothing more is shown.
    other.click();
    QCOMPARE(steps, (QStringList{QStringLiteral("first"), QStringLiteral("other")}));
    QCOMPARE(m_driver->count(), 1);

    // Any other exception is reported the same way, with its own text.
    ErrorGuard::run(window(), [] { throw std::runtime_error("disk full"); });
    QCOMPARE(m_driver->count(), 2);
    QCOMPARE(m_driver->last().text, QStringLiteral("disk full"));
    QCOMPARE(m_driver->last().title, QStringLiteral("错误"));
    QCOMPARE(m_programEnds, 0);
}

QTEST_MAIN(TestMessageBoxes)
#include "tst_messageboxes.moc"
