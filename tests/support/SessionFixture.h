#pragma once

#include "MessageBoxDriver.h"
#include "SandboxHarness.h"

#include <QStringList>

// The program as its user drives it, against an in-process sandbox: the application set up as
// main() sets it up, the driver that answers its message boxes, the login through the real
// window, and the statements the server received since, told apart by connection.
//
//     SessionFixture m_session;                          // a member of the test object
//     void initTestCase() { QVERIFY(m_session.start()); }
//     void init() { m_session.reset(); QVERIFY(m_session.logIn()); }
//     ... QCOMPARE(m_session.sent(SessionFixture::On::Sys), QStringList{...});
class SessionFixture {
public:
    enum class On { Sys, Export };

    explicit SessionFixture(sandbox::DemoSeed::Options seed = {});

    // Sets the application up, makes a program end fail the test, starts the sandbox.
    bool start();
    // Logs in through the login window, notes the connections the login used for the system
    // work (the task query) and the export log (its existence test), and forgets the statements
    // so far. False when no main window came up.
    bool logIn();
    // The state before start-up: windows unloaded, connections closed, no fault, no box.
    void reset();
    // Leaves master and a zrsystem of empty suite tables (tasks, accounts, years, the export
    // log) and nothing else, then runs the batch on zrsystem.
    void startOver(const QString& zrsystemBatch = {});

    SandboxHarness& sandbox() { return m_sandbox; }
    sandbox::Fixture& data() { return m_sandbox.fixture(); }
    MessageBoxDriver& boxes() { return m_boxes; }

    // The statements since logIn() or forget(); each not sent on the given connection comes
    // out as "[elsewhere] " + sql, so that it fails the comparison.
    QStringList sent(On on) const;
    // The statements since logIn() or forget() as "database: sql", the database in lower case.
    QStringList sentTo() const;
    static QString at(const QString& database, const QString& sql) { return database.toLower() + QStringLiteral(": ") + sql; }
    void forget() { m_sandbox.clearStatements(); }

private:
    SandboxHarness m_sandbox;
    MessageBoxDriver m_boxes;
    int m_sys = 0;
    int m_export = 0;
};
