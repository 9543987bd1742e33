// The lenient reading of a task's state and the text the list shows for it, at its edges.
#include "tasks/TaskStateClassifier.h"

#include <QTest>

class TstTaskState : public QObject {
    Q_OBJECT
private slots:
    void display_data();
    void display();
};

void TstTaskState::display_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("shown");
    QTest::newRow("five is abnormal") << "5" << "异常";
    QTest::newRow("just below zero") << "-0.1" << "异常";
    QTest::newRow("leading point") << ".5" << "正常(.5)";
    QTest::newRow("stored text shown with its blanks") << " 2 " << "正常( 2 )";
    QTest::newRow("leading number of a longer text") << "6x" << "异常";
    QTest::newRow("only the first number counts") << "1 9" << "正常(1 9)";
    QTest::newRow("exponent") << "5e-1" << "正常(5e-1)";
    QTest::newRow("letter e without digits") << "5e" << "异常";
    QTest::newRow("out of range is still abnormal") << "1e999" << "异常";
    QTest::newRow("out of range negative") << "-1e999" << "异常";
}

void TstTaskState::display()
{
    QFETCH(QString, stored);
    QFETCH(QString, shown);
    QCOMPARE(TaskStateClassifier::displayText(stored), shown);
}

QTEST_APPLESS_MAIN(TstTaskState)
#include "tst_taskstate.moc"
