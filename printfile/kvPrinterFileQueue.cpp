// The parsed and print queues.
#include "kvPrinterFile.h"
#include "kvPrinterFileShared.h"

using namespace Kv::Defines;
using namespace Kv::PrinterFile;

void kvPrinterFile::enqueueGCode(kvGCode pGCode)
{
    m_parsedQueue.append(std::move(pGCode));
    // What analyzeGCode does with the line, without two copies of it.
    const kvGCode &tLine = m_parsedQueue.constLast();
    if (tLine.CommandNumber() == 1 && tLine.Command() == QLatin1String("G"))
        m_estimator.estimate(tLine);
}

void kvPrinterFile::analyzeGCode(kvGCode pPrevious, kvGCode pGCode)
{
    Q_UNUSED(pPrevious)
    if (pGCode.Command() == QLatin1String("G") && pGCode.CommandNumber() == 1)
        m_estimator.estimate(pGCode);
}

kvGCode kvPrinterFile::dequeueGCode()
{
    // An empty queue has no line to give; the default line is never sent as G-code.
    if (isGCodeQueueEmpty())
        return kvGCode();
    const kvGCode tLine = m_parsedQueue.at(m_printBegin++);
    if (isGCodeQueueEmpty())
        emit GCodeQueueIsEmpty();
    return tLine;
}

void kvPrinterFile::resetQueue()
{
    m_printBegin = 0;
    m_printEnd = m_parsedQueue.size();
}

void kvPrinterFile::clearGCodeQueue()
{
    m_printBegin = m_printEnd = 0;
}

QQueue<kvGCode> kvPrinterFile::gcodeQueue() const
{
    QQueue<kvGCode> tQueue;
    tQueue.reserve(PrintQueueCount());
    for (int i = m_printBegin; i < m_printEnd; ++i)
        tQueue.enqueue(m_parsedQueue.at(i));
    return tQueue;
}

void kvPrinterFile::setGcodeQueue(const QQueue<kvGCode> &pQueue)
{
    m_parsedQueue.clear();
    m_parsedQueue.reserve(pQueue.size());
    for (const kvGCode &tLine : pQueue)
        m_parsedQueue.append(tLine);
    resetQueue();
}
