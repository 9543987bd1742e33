#pragma once

#include "MessageBoxDriver.h"
#include "SandboxHarness.h"

#include <QStringList>

// The program as its user drives it against an in-process sandbox: set up as main() does, its
// boxes answered, logged in through the real window, the statements since told apart by connection.
class SessionFixture {
public:
    enum class On { Sys, Export };

    explicit SessionFixture(sandbox::DemoSeed::Options seed = {})
        : m_sandbox(SandboxHarness::defaultPassword(), seed) {}

    // Sets the application up, makes a program end fail the test, starts the sandbox.
    bool start();
    // Logs in, notes the connections used for the task query and the export-log probe, and
    // forgets the statements so far. False when no main window came up.
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
    // The same as at(database, sql).
    QStringList sentTo() const;
    static QString at(const QString& database, const QString& sql) { return database.toLower() + QStringLiteral(": ") + sql; }
    void forget() { m_sandbox.clearStatements(); }

private:
    SandboxHarness m_sandbox;
    MessageBoxDriver m_boxes;
    int m_sys = 0;
    int m_export = 0;
};
