#include "kvTestSupport.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QRegularExpression>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <malloc.h>
#include <utility>

#include <cstring>

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace KvTest {

void setUpApplication()
{
    QCoreApplication::setOrganizationName(QString());
    QCoreApplication::setOrganizationDomain(QString());
    QCoreApplication::setApplicationName(QStringLiteral("Kestrova"));
}

QString dataPath(const QString &pName)
{
    return QDir(QStringLiteral(KV_TEST_DATA_DIR)).filePath(pName);
}

qint64 heapInUse()
{
    // A small block taken must show, else the heap is not the one watched here.
    static void *volatile tProbe = nullptr;
    const qint64 tBefore = qint64(mallinfo2().uordblks);
    tProbe = std::malloc(64 * 1024);
    const qint64 tDuring = qint64(mallinfo2().uordblks);
    std::free(tProbe);
    tProbe = nullptr;
    if (tDuring - tBefore < 64 * 1024)
        return -1;
    return tBefore;
}

QString writeFile(const QString &pPath, const QByteArray &pData)
{
    QFile tFile(pPath);
    const bool tWritten = QDir().mkpath(QFileInfo(pPath).absolutePath())
        && tFile.open(QIODevice::WriteOnly | QIODevice::Truncate)
        && tFile.write(pData) == pData.size() && tFile.flush();
    if (!QTest::qVerify(tWritten, "writeFile", qPrintable(pPath), __FILE__, __LINE__))
        return QString();
    return pPath;
}

QString writeFile(const QTemporaryDir &pDir, const QString &pName, const QByteArray &pData)
{
    return writeFile(pDir.filePath(pName), pData);
}

QString writeProgram(const QTemporaryDir &pDir, const QString &pName, const QByteArray &pBody)
{
    const QString tPath = writeFile(pDir, pName, "#!/bin/sh\n" + pBody);
    if (!tPath.isEmpty())
        QFile::setPermissions(tPath, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return tPath;
}

QByteArray readFile(const QString &pPath)
{
    QFile tFile(pPath);
    return tFile.open(QIODevice::ReadOnly) ? tFile.readAll() : QByteArray();
}

bool startHelper(QProcess &pProcess, const QString &pName, const QStringList &pArguments)
{
    QProcessEnvironment tEnvironment = QProcessEnvironment::systemEnvironment();
    tEnvironment.insert(QStringLiteral("KV_TEST_HELPER"), pName);
    pProcess.setProcessEnvironment(tEnvironment);
    pProcess.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    pProcess.start(QCoreApplication::applicationFilePath(), pArguments);
    return QTest::qVerify(
        pProcess.waitForStarted(), "startHelper", qPrintable(pName), __FILE__, __LINE__);
}

int holdLockFile(const QString &pPath)
{
    QLockFile tLock(pPath);
    if (!tLock.tryLock(0))
        return 1;
    std::printf("locked\n");
    std::fflush(stdout);
    QFile tInput;
    if (tInput.open(stdin, QIODevice::ReadOnly))
        tInput.readAll();
    return 0;
}

bool makeSocketFile(const QString &pPath)
{
    const QByteArray tPath = QFile::encodeName(pPath);
    sockaddr_un tAddress {};
    if (size_t(tPath.size()) >= sizeof(tAddress.sun_path))
        return false;
    tAddress.sun_family = AF_UNIX;
    std::memcpy(tAddress.sun_path, tPath.constData(), size_t(tPath.size()));
    const int tSocket = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (tSocket < 0)
        return false;
    const bool tBound
        = ::bind(tSocket, reinterpret_cast<sockaddr *>(&tAddress), sizeof(tAddress)) == 0;
    ::close(tSocket);
    return tBound;
}

PipeFeeder::PipeFeeder(const QString &pPath, const QByteArray &pData)
    : m_path(QFile::encodeName(pPath))
    , m_data(pData)
{
    m_made = ::mkfifo(m_path.constData(), 0600) == 0;
    if (m_made)
        m_thread = std::thread([this] { feed(); });
}

PipeFeeder::~PipeFeeder()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
}

void PipeFeeder::feed()
{
    // A reader that closes early must not end the test program.
    sigset_t tPipeSignal;
    sigemptyset(&tPipeSignal);
    sigaddset(&tPipeSignal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &tPipeSignal, nullptr);
    while (!m_stop) {
        // Opening for writing without blocking succeeds only while a reader holds the pipe.
        const int tFd = ::open(m_path.constData(), O_WRONLY | O_NONBLOCK);
        if (tFd < 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            continue;
        }
        const bool tFirst = !m_read;
        m_read = true;
        ::fcntl(tFd, F_SETFL, 0);
        qint64 tDone = tFirst ? 0 : m_data.size();
        while (tDone < m_data.size()) {
            const ssize_t tStep
                = ::write(tFd, m_data.constData() + tDone, size_t(m_data.size() - tDone));
            if (tStep <= 0)
                break;
            tDone += tStep;
        }
        ::close(tFd);
        // The reader sees the end before it could be given a writer again.
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

NotAFile::NotAFile(const QString &pKind, const QString &pPath, const QByteArray &pData)
{
    if (pKind == QLatin1String("pipe")) {
        m_pipe.reset(new PipeFeeder(pPath, pData));
        m_made = m_pipe->isMade();
    } else if (pKind == QLatin1String("socket")) {
        m_made = makeSocketFile(pPath);
    } else if (pKind == QLatin1String("device")) {
        m_made = QFile::link(QStringLiteral("/dev/zero"), pPath);
    } else if (pKind == QLatin1String("folder")) {
        m_made = QDir().mkpath(pPath);
    }
}

QString artifactDir()
{
    const QString tDir = qEnvironmentVariable("KV_TEST_ARTIFACTS");
    if (!tDir.isEmpty())
        return tDir;
    const QString tProgram = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    return QStringLiteral(KV_BINARY_DIR "/test-artifacts/") + tProgram;
}

Screenshots::Screenshots()
{
    QDir(artifactDir()).removeRecursively();
}

void Screenshots::add(const QString &pName, const QImage &pImage)
{
    m_images.append(qMakePair(pName, pImage));
}

void Screenshots::keepIfFailed()
{
    const auto tImages = std::exchange(m_images, {});
    if (!QTest::currentTestFailed() || tImages.isEmpty())
        return;
    QDir tDir(artifactDir());
    tDir.mkpath(QStringLiteral("."));
    QString tFunction = QString::fromUtf8(QTest::currentTestFunction());
    const QString tTag = QString::fromUtf8(QTest::currentDataTag());
    if (!tTag.isEmpty())
        tFunction += '-' + tTag;
    tFunction.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9_.-]+")), QStringLiteral("_"));
    for (const auto &tImage : tImages) {
        const QString tPath = tDir.filePath(tFunction + '-' + tImage.first + ".png");
        if (tImage.second.save(tPath))
            qWarning("screenshot kept: %s", qPrintable(tPath));
        else
            qWarning("screenshot not saved: %s", qPrintable(tPath));
    }
}

} // namespace KvTest
