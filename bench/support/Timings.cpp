#include "Timings.h"

#include <algorithm>
#include <cstdio>

double Timings::median(QList<double> values)
{
    if (values.isEmpty())
        return 0.0;
    std::sort(values.begin(), values.end());
    const qsizetype middle = values.size() / 2;
    return values.size() % 2 == 1 ? values.at(middle) : (values.at(middle - 1) + values.at(middle)) / 2.0;
}

double Timings::best(const QList<double>& values)
{
    return values.isEmpty() ? 0.0 : *std::min_element(values.cbegin(), values.cend());
}

void Timings::printHeader()
{
    std::printf("%-36s %11s %11s %11s %11s\n", "(ms)", "wall median", "wall best", "CPU median", "CPU best");
}

void Timings::printRow(const char* label) const
{
    std::printf("%-36s %11.1f %11.1f %11.1f %11.1f\n", label, median(m_wall), best(m_wall), median(m_cpu),
                best(m_cpu));
}

void Timings::printRatio(const char* label, const Timings& base, double target, bool judgeCpu) const
{
    const double wall = wallMedian() / base.wallMedian();
    const double cpu = cpuMedian() / base.cpuMedian();
    std::printf("%-36s %11.2f %11.2f %11.2f %11.2f   target <= %.1f: wall %s", label, wall,
                best(m_wall) / best(base.m_wall), cpu, best(m_cpu) / best(base.m_cpu), target,
                wall <= target ? "met" : "MISSED");
    if (judgeCpu)
        std::printf(", CPU %s", cpu <= target ? "met" : "MISSED");
    std::printf("\n");
}
