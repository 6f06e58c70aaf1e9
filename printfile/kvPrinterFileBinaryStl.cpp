// Reading binary STL files.
#include "kvPrinterFile.h"
#include "kvPrinterFileShared.h"

#include <QDateTime>
#include <QtEndian>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <limits>
#include <memory>
#include <mutex>
#include <new>
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
// of threads, the calling thread being thread 0. A thread that cannot be started leaves its
// tasks to the others; a task that fails fails the job on the calling thread.
class ReadWorkers
{
public:
    ReadWorkers(unsigned pThreads, const kvPrinterFile::ThreadStart &pStart)
    {
        // Reserved first: a started thread must never be dropped unjoined.
        m_threads.reserve(pThreads);
        for (unsigned i = 1; i < pThreads; ++i) {
            std::function<void()> tWork = [this, i] { work(i); };
            try {
                m_threads.push_back(
                    pStart ? pStart(std::move(tWork)) : std::thread(std::move(tWork)));
            } catch (...) {
                // Such as the system's thread limit.
                break;
            }
        }
        std::lock_guard<std::mutex> tLock(m_mutex);
        m_count = int(m_threads.size()) + 1;
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

    int threads() const { return m_count; }

    void run(int pCount, const std::function<void(int)> &pTask)
    {
        {
            std::lock_guard<std::mutex> tLock(m_mutex);
            m_task = &pTask;
            m_tasks = pCount;
            m_pending = m_count - 1;
            m_failure = nullptr;
            ++m_job;
        }
        m_wake.notify_all();
        std::exception_ptr tFailure;
        try {
            for (int i = 0; i < pCount; i += m_count)
                pTask(i);
        } catch (...) {
            tFailure = std::current_exception();
        }
        std::unique_lock<std::mutex> tLock(m_mutex);
        m_done.wait(tLock, [this] { return m_pending == 0; });
        if (!tFailure)
            tFailure = m_failure;
        tLock.unlock();
        if (tFailure)
            std::rethrow_exception(tFailure);
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
            const int tStride = m_count;
            tLock.unlock();
            std::exception_ptr tFailure;
            try {
                for (int i = int(pIndex); i < tTasks; i += tStride)
                    (*tTask)(i);
            } catch (...) {
                tFailure = std::current_exception();
            }
            tLock.lock();
            if (tFailure && !m_failure)
                m_failure = tFailure;
            if (--m_pending == 0)
                m_done.notify_one();
        }
    }

    // The threads, the calling one included; set before any job is given.
    int m_count = 1;
    std::vector<std::thread> m_threads;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_done;
    const std::function<void(int)> *m_task = nullptr;
    int m_tasks = 0;
    int m_pending = 0;
    unsigned m_job = 0;
    bool m_stop = false;
    std::exception_ptr m_failure;
};

} // namespace

kvModel kvPrinterFile::parseSTLBinary()
{
    return parseSTLBinary(&m_file);
}

kvModel kvPrinterFile::parseSTLBinary(QIODevice *pDevice)
{
    kvModel tModel;
    m_loadRefusal.clear();
    const QDateTime tStart = QDateTime::currentDateTime();
    statusUpdate(
        QStringLiteral("parseSTLBinary: Begin parse STL Binary [%1].").arg(timeStamp(tStart)));

    qint32 tCount = 0;
    const bool tHasCount = readFacetCount(pDevice, tCount);
    const qint64 tAvailable = tHasCount ? (pDevice->size() - kHeaderSize) / kFacetSize : 0;
    // Never trust the count further than the data goes.
    const qint64 tFacets = tCount < 0 ? tAvailable : std::min<qint64>(tCount, tAvailable);
    if (tHasCount && tCount < 0) {
        // The count is unsigned in the file.
        warn(QStringLiteral("parseSTLBinary: Invalid facet count %1, reading %2 facets.")
                 .arg(quint32(tCount))
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

    qint64 tRead = 0;
    qint64 tDropped = 0;
    if (tFacets > m_mostFacets) {
        // Refused before anything is made room for.
        refuseTooLarge(QStringLiteral("parseSTLBinary"),
            QStringLiteral("%1 facets, at most %2 can be loaded").arg(tFacets).arg(m_mostFacets));
    } else {
        try {
            readFacets(pDevice, tFacets, tModel, tRead, tDropped);
        } catch (const std::bad_alloc &) {
            tModel = kvModel();
            refuseLoad(QStringLiteral("parseSTLBinary: Not enough memory to load the file after "
                                      "%1 of %2 facets.")
                           .arg(tRead)
                           .arg(tFacets),
                noMemoryReason());
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

void kvPrinterFile::readFacets(
    QIODevice *pDevice, qint64 pFacets, kvModel &pModel, qint64 &pRead, qint64 &pDropped)
{
    // Parsing the facets and finding their corners are shared out among threads; the mesh
    // is the one that adding the facets one by one makes.
    std::unique_ptr<ReadWorkers> tWorkers;
    kvTaskRunner tRun;
    const unsigned tCores
        = std::max(1u, std::min(kMostThreads, std::thread::hardware_concurrency()));
    if (pFacets >= kThreadedFacets && tCores > 1)
        tWorkers.reset(new ReadWorkers(tCores, m_threadStart));
    // No thread could be started: all is read on this one.
    if (tWorkers && tWorkers->threads() > 1) {
        tRun = [&tWorkers](int pCount, const std::function<void(int)> &pTask) {
            tWorkers->run(pCount, pTask);
        };
    } else {
        tRun = [](int pCount, const std::function<void(int)> &pTask) {
            for (int i = 0; i < pCount; ++i)
                pTask(i);
        };
    }
    pModel.reserveTriangles(int(std::min<qint64>(pFacets, std::numeric_limits<int>::max())));

    const int tChunks = 16;
    QByteArray tBlock;
    QVector<kvVector3D> tCorners;
    QVector<char> tFinite;
    int tShown = -1;
    while (pRead < pFacets) {
        const qint64 tWant = std::min(kBlockFacets, pFacets - pRead);
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
        pDropped += tComplete - tKept;
        pModel.addTriangles(tCorner, tKept, tRun);
        // The bar sees every value that adding the facets one by one would show, once.
        for (int i = 0; i < tComplete; ++i) {
            ++pRead;
            const int tProgress = int(float(pRead) / float(pFacets) * 100.0f);
            if (tProgress != tShown) {
                tShown = tProgress;
                emit LoadFileProgress(tProgress);
            }
        }
        if (tComplete < tWant) {
            warn(QStringLiteral("parseSTLBinary: Read error after %1 facets.").arg(pRead));
            break;
        }
    }
}

kvVector3D kvPrinterFile::parseVector(QFile *pFile)
{
    char tBytes[12];
    if (!pFile || pFile->read(tBytes, sizeof(tBytes)) != qint64(sizeof(tBytes)))
        return kvVector3D();
    return readVector(tBytes);
}
