#include "kvTestSupport.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QRegularExpression>

#include <cstdio>
#include <cstdlib>
#include <malloc.h>
#include <utility>

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
