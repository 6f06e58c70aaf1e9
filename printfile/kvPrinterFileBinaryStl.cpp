// Reading binary STL files.
#include "kvPrinterFile.h"
#include "kvPrinterFileShared.h"

#include <QDateTime>
#include <QtEndian>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <limits>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

using namespace Kv::PrinterFile;

namespace {

// Facets read and added at a time.
const qint64 kBlockFacets = 1 << 16;
// Below this many facets the reader starts no threads.
const qint64 kThreadedFacets = 10000;
const unsigned kMostThreads = 8;

float readFloat(const char *pData)
{
    quint32 tBits;
    std::memcpy(&tBits, pData, sizeof(tBits));
    tBits = qFromLittleEndian(tBits);
    float tValue;
    std::memcpy(&tValue, &tBits, sizeof(tValue));
    return tValue;
}

kvVector3D readVector(const char *pData)
{
    return kvVector3D(readFloat(pData), readFloat(pData + 4), readFloat(pData + 8));
}

// Threads that work with the calling thread on the tasks of one job at a time, for the
// length of one read; they touch no Qt object. Task i runs on thread i modulo the number
// of threads, the calling thread being thread 0.
class ReadWorkers
{
public:
    explicit ReadWorkers(unsigned pThreads)
        : m_count(int(pThreads))
    {
        for (unsigned i = 1; i < pThreads; ++i)
            m_threads.emplace_back([this, i] { work(i); });
    }

    ~ReadWorkers()
    {
        {
            std::lock_guard<std::mutex> tLock(m_mutex);
            m_stop = true;
        }
        m_wake.notify_all();
        for (std::thread &tThread : m_threads)
            tThread.join();
    }

    void run(int pCount, const std::function<void(int)> &pTask)
    {
        {
            std::lock_guard<std::mutex> tLock(m_mutex);
            m_task = &pTask;
            m_tasks = pCount;
            m_pending = m_count - 1;
            ++m_job;
        }
        m_wake.notify_all();
        for (int i = 0; i < pCount; i += m_count)
            pTask(i);
        std::unique_lock<std::mutex> tLock(m_mutex);
        m_done.wait(tLock, [this] { return m_pending == 0; });
    }

private:
    void work(unsigned pIndex)
    {
        unsigned tSeen = 0;
        std::unique_lock<std::mutex> tLock(m_mutex);
        for (;;) {
            m_wake.wait(tLock, [&] { return m_stop || m_job != tSeen; });
            if (m_stop)
                return;
            tSeen = m_job;
            const std::function<void(int)> *tTask = m_task;
            const int tTasks = m_tasks;
            tLock.unlock();
            for (int i = int(pIndex); i < tTasks; i += m_count)
                (*tTask)(i);
            tLock.lock();
            if (--m_pending == 0)
                m_done.notify_one();
        }
    }

    // The threads, the calling one included; set before any is started.
    const int m_count;
    std::vector<std::thread> m_threads;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_done;
    const std::function<void(int)> *m_task = nullptr;
    int m_tasks = 0;
    int m_pending = 0;
    unsigned m_job = 0;
    bool m_stop = false;
};

} // namespace

kvModel kvPrinterFile::parseSTLBinary()
{
    return parseSTLBinary(&m_file);
}

kvModel kvPrinterFile::parseSTLBinary(QIODevice *pDevice)
{
    kvModel tModel;
    const QDateTime tStart = QDateTime::currentDateTime();
    statusUpdate(
        QStringLiteral("parseSTLBinary: Begin parse STL Binary [%1].").arg(timeStamp(tStart)));

    qint32 tCount = 0;
    const bool tHasCount = readFacetCount(pDevice, tCount);
    const qint64 tAvailable = tHasCount ? (pDevice->size() - kHeaderSize) / kFacetSize : 0;
    // Never trust the count further than the data goes.
    const qint64 tFacets = tCount < 0 ? tAvailable : std::min<qint64>(tCount, tAvailable);
    if (tHasCount && tCount < 0) {
        warn(QStringLiteral("parseSTLBinary: Invalid facet count %1, reading %2 facets.")
                 .arg(tCount)
                 .arg(tAvailable));
    } else if (tHasCount && tCount > tAvailable) {
        warn(QStringLiteral("parseSTLBinary: File is truncated: %1 of %2 facets present.")
                 .arg(tAvailable)
                 .arg(tCount));
    } else if (tHasCount && pDevice->size() != kHeaderSize + kFacetSize * qint64(tCount)) {
        warn(QStringLiteral(
            "parseSTLBinary: File is longer than its %1 facets; the rest is ignored.")
                 .arg(tCount));
    }

    // Parsing the facets and finding their corners are shared out among threads; the mesh
    // is the one that adding the facets one by one makes.
    std::unique_ptr<ReadWorkers> tWorkers;
    kvTaskRunner tRun;
    const unsigned tCores
        = std::max(1u, std::min(kMostThreads, std::thread::hardware_concurrency()));
    if (tFacets >= kThreadedFacets && tCores > 1) {
        tWorkers.reset(new ReadWorkers(tCores));
        tRun = [&tWorkers](int pCount, const std::function<void(int)> &pTask) {
            tWorkers->run(pCount, pTask);
        };
    } else {
        tRun = [](int pCount, const std::function<void(int)> &pTask) {
            for (int i = 0; i < pCount; ++i)
                pTask(i);
        };
    }
    tModel.reserveTriangles(int(std::min<qint64>(tFacets, std::numeric_limits<int>::max())));

    const int tChunks = 16;
    QByteArray tBlock;
    QVector<kvVector3D> tCorners;
    QVector<char> tFinite;
    qint64 tRead = 0;
    qint64 tDropped = 0;
    int tShown = -1;
    while (tRead < tFacets) {
        const qint64 tWant = std::min(kBlockFacets, tFacets - tRead);
        tBlock.resize(int(tWant * kFacetSize));
        const qint64 tGot = pDevice->read(tBlock.data(), tBlock.size());
        const int tComplete = int(tGot > 0 ? tGot / kFacetSize : 0);
        tCorners.resize(3 * tComplete);
        tFinite.resize(tComplete);
        const char *tData = tBlock.constData();
        kvVector3D *tCorner = tCorners.data();
        char *tIsFinite = tFinite.data();
        const int tChunk = (tComplete + tChunks - 1) / tChunks;
        tRun(tChunks, [&](int pChunk) {
            const int tEnd = std::min(tComplete, (pChunk + 1) * tChunk);
            for (int i = pChunk * tChunk; i < tEnd; ++i) {
                const char *tFacet = tData + i * kFacetSize;
                for (int c = 0; c < 3; ++c)
                    tCorner[3 * i + c] = readVector(tFacet + 12 + 12 * c);
                tIsFinite[i] = tCorner[3 * i].isFinite() && tCorner[3 * i + 1].isFinite()
                    && tCorner[3 * i + 2].isFinite();
            }
        });
        // Facets with a corner that is not finite are left out.
        int tKept = 0;
        for (int i = 0; i < tComplete; ++i) {
            if (!tIsFinite[i])
                continue;
            if (tKept != i)
                std::memmove(tCorner + 3 * tKept, tCorner + 3 * i, 3 * sizeof(kvVector3D));
            ++tKept;
        }
        tDropped += tComplete - tKept;
        tModel.addTriangles(tCorner, tKept, tRun);
        // The bar sees every value that adding the facets one by one would show, once.
        for (int i = 0; i < tComplete; ++i) {
            ++tRead;
            const int tProgress = int(float(tRead) / float(tFacets) * 100.0f);
            if (tProgress != tShown) {
                tShown = tProgress;
                emit LoadFileProgress(tProgress);
            }
        }
        if (tComplete < tWant) {
            warn(QStringLiteral("parseSTLBinary: Read error after %1 facets.").arg(tRead));
            break;
        }
    }
    if (tDropped > 0)
        warn(droppedFacets(QStringLiteral("parseSTLBinary"), tDropped));

    emit LoadFileProgress(100);
    const QDateTime tEnd = QDateTime::currentDateTime();
    const qint64 tSeconds = elapsedSeconds(tStart, tEnd);
    statusUpdate(
        QStringLiteral("parseSTLBinary: End parse STL Binary [%1]. Elapsed time: %2 seconds.")
            .arg(timeStamp(tEnd))
            .arg(tSeconds));
    sayWarnings();
    emit STLParseComplete(float(tSeconds));
    return tModel;
}

kvVector3D kvPrinterFile::parseVector(QFile *pFile)
{
    char tBytes[12];
    if (!pFile || pFile->read(tBytes, sizeof(tBytes)) != qint64(sizeof(tBytes)))
        return kvVector3D();
    return readVector(tBytes);
}
