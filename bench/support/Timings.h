#pragma once

#include "BenchKit.h"

#include <QList>

// Repeated wall-clock and CPU timings of one operation, in milliseconds, and the plain table the
// benches print them in. The median is the figure to compare; the best shows the cost when nothing
// else on the machine interferes.
class Timings {
public:
    void add(double wallMs, double cpuMs)
    {
        m_wall.append(wallMs);
        m_cpu.append(cpuMs);
    }
    // Times one run of the operation on this process's clocks.
    template <typename Operation>
    void time(Operation operation)
    {
        const double wall = bench::steadyMs();
        const double cpu = bench::cpuMs();
        operation();
        add(bench::steadyMs() - wall, bench::cpuMs() - cpu);
    }
    double wallMedian() const { return median(m_wall); }
    double cpuMedian() const { return median(m_cpu); }

    static double median(QList<double> values);
    static double best(const QList<double>& values);

    static void printHeader();
    void printRow(const char* label) const;
    // Medians over the base's (and best over best), judged against the target on the wall-clock
    // figures and, when asked, on the CPU figures too.
    void printRatio(const char* label, const Timings& base, double target, bool judgeCpu) const;

private:
    QList<double> m_wall;
    QList<double> m_cpu;
};
