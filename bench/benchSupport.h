#pragma once

#include <sys/resource.h>

#include <QElapsedTimer>
#include <QString>
#include <cstdio>

namespace KvBench {

// Peak resident set size of this process in bytes.
inline long long peakMemoryBytes()
{
    rusage tUsage {};
    getrusage(RUSAGE_SELF, &tUsage);
    return static_cast<long long>(tUsage.ru_maxrss) * 1024;
}

// A message handler that drops debug output, so that traces do not slow the timed work.
inline void quietDebug(QtMsgType pType, const QMessageLogContext &, const QString &pText)
{
    if (pType != QtDebugMsg)
        std::fprintf(stderr, "%s\n", qPrintable(pText));
}

inline void report(const char *pWhat, double pSeconds, long long pItems, const char *pUnit)
{
    std::printf("%-48s %9.3f s  %12.0f %s/s  peak %8.1f MB\n", pWhat, pSeconds,
        pSeconds > 0 ? pItems / pSeconds : 0.0, pUnit, peakMemoryBytes() / 1048576.0);
    std::fflush(stdout);
}

} // namespace KvBench
