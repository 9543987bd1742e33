#pragma once

// A scripted statement engine, so that the server can be exercised on its own and its streaming
// observed. Statements are separated by ';':
//   rows N       columns id INT, 名称 NVARCHAR(10), 标签 VARCHAR(8); N rows; row count N
//   endless      one BIGINT column, rows without end (for attention and back-pressure)
//   error N TEXT an error N, class 16, then a failed DONE
//   count N      a DONE with row count N
//   anything else: a DONE without count.

#include "server/Backend.h"

#include <QStringList>
#include <atomic>
#include <deque>

namespace tdstest {

struct FakeStats {
    std::atomic<qint64> rowsProduced{0};
    std::atomic<int> cancels{0};
    std::atomic<int> sessions{0};
};

class FakeExecution : public sandbox::BatchExecution {
public:
    FakeExecution(const QString& batch, std::shared_ptr<FakeStats> stats) : m_statements(batch.split(QLatin1Char(';'))), m_stats(std::move(stats)) {}

    bool next(sandbox::BatchEvent& event) override
    {
        while (m_queue.empty() && !m_endless && !m_cancelled && !m_statements.isEmpty())
            plan(m_statements.takeFirst().simplified().split(QLatin1Char(' ')));
        if (m_queue.empty() && m_endless)
            push(Kind::Row).row = {QVariant::fromValue<qint64>(m_stats->rowsProduced)};
        if (m_queue.empty())
            return false;
        event = m_queue.front();
        m_queue.pop_front();
        if (event.kind == Kind::Row)
            ++m_stats->rowsProduced;
        return true;
    }

    void cancel() override
    {
        m_cancelled = true;
        m_endless = false;
        m_queue.clear();
        ++m_stats->cancels;
    }

private:
    using Kind = sandbox::BatchEvent::Kind;

    sandbox::BatchEvent& push(Kind kind)
    {
        m_queue.emplace_back();
        m_queue.back().kind = kind;
        return m_queue.back();
    }

    void done(bool count, qint64 rows = 0, bool failed = false)
    {
        sandbox::BatchEvent& e = push(Kind::Done);
        e.hasRowCount = count;
        e.rowCount = rows;
        e.failed = failed;
    }

    void plan(const QStringList& words)
    {
        using sandbox::SqlType;
        if (words[0] == QLatin1String("rows")) {
            push(Kind::Columns).columns = {{QStringLiteral("id"), SqlType::Int, 0, true},
                                           {QStringLiteral("名称"), SqlType::NVarChar, 10, true},
                                           {QStringLiteral("标签"), SqlType::VarChar, 8, true}};
            const int n = words.value(1).toInt();
            for (int i = 0; i < n; ++i)
                push(Kind::Row).row = {QVariant::fromValue<qint64>(i), QStringLiteral("名称%1").arg(i),
                                       i % 2 == 0 ? QVariant(QStringLiteral("登陆时间")) : QVariant()};
            done(true, n);
        } else if (words[0] == QLatin1String("endless")) {
            push(Kind::Columns).columns = {{QStringLiteral("n"), SqlType::BigInt, 0, true}};
            m_endless = true;
        } else if (words[0] == QLatin1String("error")) {
            push(Kind::Error).error = {words.value(1).toInt(), 1, 16, words.mid(2).join(QLatin1Char(' '))};
            done(false, 0, true);
        } else if (words[0] == QLatin1String("count")) {
            done(true, words.value(1).toLongLong());
        } else if (!words[0].isEmpty()) {
            done(false);
        }
    }

    QStringList m_statements;
    std::shared_ptr<FakeStats> m_stats;
    std::deque<sandbox::BatchEvent> m_queue;
    bool m_cancelled = false;
    bool m_endless = false;
};

class FakeSession : public sandbox::BackendSession {
public:
    FakeSession(QString database, std::shared_ptr<FakeStats> stats) : m_database(std::move(database)), m_stats(std::move(stats)) {}
    QString database() const override { return m_database; }
    std::unique_ptr<sandbox::BatchExecution> run(const QString& batch) override { return std::make_unique<FakeExecution>(batch, m_stats); }

private:
    QString m_database;
    std::shared_ptr<FakeStats> m_stats;
};

// Knows master, zrsystem and ZRDATA_001_2024, in any case.
class FakeBackend : public sandbox::Backend {
public:
    explicit FakeBackend(std::shared_ptr<FakeStats> stats) : m_stats(std::move(stats)) {}
    bool prepare(QString*) override { return true; }
    bool hasDatabase(const QString& name) const override { return !canonical(name).isEmpty(); }
    std::unique_ptr<sandbox::BackendSession> open(const QString& database) override
    {
        if (canonical(database).isEmpty())
            return nullptr;
        ++m_stats->sessions;
        return std::make_unique<FakeSession>(canonical(database), m_stats);
    }

private:
    static QString canonical(const QString& name)
    {
        for (const char* known : {"master", "zrsystem", "ZRDATA_001_2024"})
            if (name.compare(QLatin1String(known), Qt::CaseInsensitive) == 0)
                return QLatin1String(known);
        return {};
    }

    std::shared_ptr<FakeStats> m_stats;
};

}  // namespace tdstest
