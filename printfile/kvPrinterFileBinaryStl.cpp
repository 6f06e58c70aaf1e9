// Reading binary STL files.
#include "kvPrinterFile.h"
#include "kvPrinterFileShared.h"

#include "kvBulkMemory.h"
#include "kvPlatform.h"

#include <QDateTime>
#include <QtEndian>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
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

// Facets read and added at a time: a sixteenth of the file, within these bounds, so that
// the buffers of a block stay small beside the mesh.
const qint64 kBlockFacets = 1 << 16;
const qint64 kSmallestBlock = 1 << 12;
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
// length of one read; they touch no Qt object. Task i belongs to thread i modulo the number
// of threads (the calling thread being thread 0), so that the same thread works on the same
// part of the data from one job to the next and finds it in its cache; a thread that has
// done its own tasks takes those of a thread that the system holds back. A job ends when its
// last task has ended. A thread that cannot be started leaves its tasks to the others; a
// task that fails fails the job on the calling thread, and the tasks of the job not yet
// begun are then skipped.
class ReadWorkers
{
public:
    ReadWorkers(unsigned pThreads, const kvPrinterFile::ThreadStart &pStart,
        const kvPrinterFile::TaskStart &pTaskStart)
        : m_taskStart(pTaskStart)
        , m_next(new Next[pThreads])
    {
        // Reserved first: a started thread must never be dropped unjoined.
        m_threads.reserve(pThreads);
        for (unsigned i = 1; i < pThreads; ++i) {
            std::function<void()> tWork = [this, i] { work(int(i)); };
            try {
                m_threads.push_back(
                    pStart ? pStart(std::move(tWork)) : std::thread(std::move(tWork)));
            } catch (...) {
                // Such as the system's thread limit.
                break;
            }
        }
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

    // The threads, the calling one included.
    int threads() const { return m_count; }

    void run(int pCount, const std::function<void(int)> &pTask)
    {
        if (pCount <= 0)
            return;
        quint32 tJob;
        {
            std::lock_guard<std::mutex> tLock(m_mutex);
            tJob = ++m_job;
            m_task = &pTask;
            m_tasks = pCount;
            m_ended.store(0, std::memory_order_relaxed);
            m_failed.store(false, std::memory_order_relaxed);
            m_failure = nullptr;
            for (int t = 0; t < m_count; ++t)
                m_next[t].value.store(quint64(tJob) << 32, std::memory_order_release);
        }
        m_wake.notify_all();
        take(0, tJob, &pTask, pCount);
        std::unique_lock<std::mutex> tLock(m_mutex);
        m_done.wait(tLock, [&] { return m_ended.load(std::memory_order_acquire) == pCount; });
        const std::exception_ptr tFailure = m_failure;
        m_failure = nullptr;
        tLock.unlock();
        if (tFailure)
            std::rethrow_exception(tFailure);
    }

private:
    // The next task of one thread not yet taken: the job in the high half, the number of
    // the thread's tasks taken in the low half. A thread that comes late takes nothing: the
    // counter names its job, and the job has moved on.
    struct alignas(64) Next
    {
        std::atomic<quint64> value {0};
    };

    void work(int pIndex)
    {
        quint32 tSeen = 0;
        std::unique_lock<std::mutex> tLock(m_mutex);
        for (;;) {
            m_wake.wait(tLock, [&] { return m_stop || m_job != tSeen; });
            if (m_stop)
                return;
            tSeen = m_job;
            const std::function<void(int)> *tTask = m_task;
            const int tTasks = m_tasks;
            tLock.unlock();
            take(pIndex, tSeen, tTask, tTasks);
            tLock.lock();
        }
    }

    // Runs tasks of job pJob, the thread's own first, until none is left to take.
    void take(int pSelf, quint32 pJob, const std::function<void(int)> *pTask, int pTasks)
    {
        for (int o = 0; o < m_count; ++o) {
            const int tOwner = (pSelf + o) % m_count;
            std::atomic<quint64> &tNext = m_next[tOwner].value;
            for (;;) {
                quint64 tValue = tNext.load(std::memory_order_acquire);
                int tIndex;
                do {
                    tIndex = tOwner + int(quint32(tValue)) * m_count;
                    if (quint32(tValue >> 32) != pJob || tIndex >= pTasks)
                        break;
                } while (
                    !tNext.compare_exchange_weak(tValue, tValue + 1, std::memory_order_acq_rel));
                if (quint32(tValue >> 32) != pJob || tIndex >= pTasks)
                    break;
                runTask(pTask, tIndex, pTasks);
            }
        }
    }

    void runTask(const std::function<void(int)> *pTask, int pIndex, int pTasks)
    {
        if (!m_failed.load(std::memory_order_relaxed)) {
            try {
                if (m_taskStart)
                    m_taskStart();
                (*pTask)(pIndex);
            } catch (...) {
                std::lock_guard<std::mutex> tLock(m_mutex);
                if (!m_failure)
                    m_failure = std::current_exception();
                m_failed.store(true, std::memory_order_relaxed);
            }
        }
        if (m_ended.fetch_add(1, std::memory_order_acq_rel) + 1 == pTasks) {
            std::lock_guard<std::mutex> tLock(m_mutex);
            m_done.notify_one();
        }
    }

    const kvPrinterFile::TaskStart &m_taskStart;
    std::vector<std::thread> m_threads;
    // The threads, the calling one included; set before any job is given.
    int m_count = 1;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_done;
    // The job under way and its tasks; set with m_mutex held.
    quint32 m_job = 0;
    const std::function<void(int)> *m_task = nullptr;
    int m_tasks = 0;
    bool m_stop = false;
    std::exception_ptr m_failure;
    std::unique_ptr<Next[]> m_next;
    std::atomic<int> m_ended {0};
    std::atomic<bool> m_failed {false};
};

// Reads pBytes at pOffset of a file, side by side with other such reads; the bytes read.
qint64 readAt(int pHandle, char *pData, qint64 pBytes, qint64 pOffset)
{
    qint64 tDone = 0;
    while (tDone < pBytes) {
        const ssize_t tGot
            = ::pread(pHandle, pData + tDone, size_t(pBytes - tDone), pOffset + tDone);
        if (tGot > 0)
            tDone += tGot;
        else if (tGot < 0 && errno == EINTR)
            continue;
        else
            break;
    }
    return tDone;
}

} // namespace

kvModel kvPrinterFile::parseSTLBinary()
{
    return parseSTLBinary(&m_file);
}

kvModel kvPrinterFile::parseSTLBinary(QIODevice *pDevice)
{
    kvModel tModel;
    m_loadRefusal.clear();
    const kvLoadClock tClock;
    statusUpdate(QStringLiteral("parseSTLBinary: Begin parse STL Binary [%1].")
                     .arg(timeStamp(tClock.started())));

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
    const qint64 tSeconds = tClock.elapsedSeconds();
    statusUpdate(
        QStringLiteral("parseSTLBinary: End parse STL Binary [%1]. Elapsed time: %2 seconds.")
            .arg(timeStamp(QDateTime::currentDateTime()))
            .arg(tSeconds));
    sayWarnings();
    emit STLParseComplete(float(tSeconds));
    return tModel;
}

void kvPrinterFile::readFacets(
    QIODevice *pDevice, qint64 pFacets, kvModel &pModel, qint64 &pRead, qint64 &pDropped)
{
    // Reading and parsing the facets and finding their corners are shared out among
    // threads; the mesh is the one that adding the facets one by one makes.
    std::unique_ptr<ReadWorkers> tWorkers;
    kvTaskRunner tRun;
    const unsigned tCores = std::min(kMostThreads, Kv::Platform::usableCores());
    // Below m_threadedFacets facets no threads start: they would shorten the load by a few
    // milliseconds at the cost of more processor time than the whole load takes on one core.
    if (pFacets >= m_threadedFacets && tCores > 1)
        tWorkers.reset(new ReadWorkers(tCores, m_threadStart, m_taskStart));
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
    // The mesh has room for every facet from the start; the corners are parsed straight
    // into it.
    const int tBlockFacets
        = int(std::min(std::min(kBlockFacets, std::max(kSmallestBlock, (pFacets + 15) / 16)),
            std::max<qint64>(1, pFacets)));
    kvModel::Appender tAppender(pModel, pFacets, tBlockFacets, tRun);

    // A file is read by the tasks, each its own part of a block; another device a block
    // at a time, before the tasks parse it.
    QFile *tFile = qobject_cast<QFile *>(pDevice);
    const int tHandle = tFile ? tFile->handle() : -1;
    QByteArray tBlock;
    tBlock.resize(int(tBlockFacets * kFacetSize));
    int tKept[kvModel::Appender::Chunks];
    int tComplete[kvModel::Appender::Chunks];
    int tShown = -1;
    while (pRead < pFacets) {
        const int tWant = int(std::min<qint64>(tBlockFacets, pFacets - pRead));
        const qint64 tOffset = kHeaderSize + pRead * kFacetSize;
        int tAvailable = tWant;
        if (tHandle < 0) {
            const qint64 tGot = pDevice->read(tBlock.data(), tWant * kFacetSize);
            tAvailable = int(tGot > 0 ? tGot / kFacetSize : 0);
        }
        char *tData = tBlock.data();
        kvVector3D *tOut = tAppender.next();
        // Each task reads and parses its part of the block and, when none of its facets is
        // left out, makes them part of the mesh at once, while they are in its cache.
        tRun(kvModel::Appender::Chunks, [&](int pChunk) {
            int tBegin, tFull;
            kvModel::Appender::chunkFacets(tWant, pChunk, tBegin, tFull);
            int tEnd = std::min(tAvailable, tFull);
            if (tHandle >= 0 && tEnd > tBegin) {
                const qint64 tBytes = qint64(tEnd - tBegin) * kFacetSize;
                const qint64 tGot = readAt(
                    tHandle, tData + tBegin * kFacetSize, tBytes, tOffset + tBegin * kFacetSize);
                tEnd = tBegin + int(tGot / kFacetSize);
            }
            // Facets with a corner that is not finite are left out.
            kvVector3D *tCorner = tOut + 3 * qint64(tBegin);
            int tHere = 0;
            for (int i = tBegin; i < tEnd; ++i) {
                const char *tFacet = tData + qint64(i) * kFacetSize;
                for (int c = 0; c < 3; ++c)
                    tCorner[3 * tHere + c] = readVector(tFacet + 12 + 12 * c);
                if (tCorner[3 * tHere].isFinite() && tCorner[3 * tHere + 1].isFinite()
                    && tCorner[3 * tHere + 2].isFinite())
                    ++tHere;
            }
            tKept[pChunk] = tHere;
            tComplete[pChunk] = std::max(0, tEnd - tBegin);
            if (tHere == tFull - tBegin)
                tAppender.makeChunk(tWant, pChunk);
        });
        // The facets read are those up to the first chunk that came short; the kept ones
        // close up when some were left out, and are then made once more.
        int tRead = 0;
        int tKeptAll = 0;
        for (int c = 0; c < kvModel::Appender::Chunks; ++c) {
            int tBegin, tFull;
            kvModel::Appender::chunkFacets(tWant, c, tBegin, tFull);
            if (tKeptAll != tBegin && tKept[c] > 0)
                std::memmove(static_cast<void *>(tOut + 3 * qint64(tKeptAll)),
                    tOut + 3 * qint64(tBegin), 3 * size_t(tKept[c]) * sizeof(kvVector3D));
            tKeptAll += tKept[c];
            tRead += tComplete[c];
            if (tComplete[c] < tFull - tBegin)
                break;
        }
        pDropped += tRead - tKeptAll;
        if (tKeptAll == tWant)
            tAppender.addMade(tWant);
        else
            tAppender.add(tKeptAll);
        // The bar sees every value that adding the facets one by one would show, once. With
        // many facets each value follows the one before.
        const auto tProgress
            = [pFacets](qint64 pAt) { return int(float(pAt) / float(pFacets) * 100.0f); };
        if (pFacets >= 1000) {
            pRead += tRead;
            for (int v = tShown + 1; v <= tProgress(pRead); ++v)
                emit LoadFileProgress(v);
            tShown = std::max(tShown, tProgress(pRead));
        } else {
            for (int i = 0; i < tRead; ++i) {
                const int tNow = tProgress(++pRead);
                if (tNow != tShown) {
                    tShown = tNow;
                    emit LoadFileProgress(tNow);
                }
            }
        }
        if (tRead < tWant) {
            warn(QStringLiteral("parseSTLBinary: Read error after %1 facets.").arg(pRead));
            break;
        }
    }
    tAppender.finish();
}

kvVector3D kvPrinterFile::parseVector(QFile *pFile)
{
    char tBytes[12];
    if (!pFile || pFile->read(tBytes, sizeof(tBytes)) != qint64(sizeof(tBytes)))
        return kvVector3D();
    return readVector(tBytes);
}
