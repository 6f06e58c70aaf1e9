#include "kvPlatform.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QSysInfo>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <thread>

#include <fcntl.h>
#include <grp.h>
#include <sched.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Kv {
namespace Platform {

QString executablePath(const char *pArgv0)
{
    // argv[0] may be a bare name found through PATH; the kernel knows the real file.
    const QString tSelf = QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
    if (!tSelf.isEmpty())
        return tSelf;
    return pArgv0 ? QFile::decodeName(pArgv0) : QString();
}

QString pluginFolder(const QString &pExecutablePath)
{
    // Each step into a missing folder keeps the path where it was.
    QDir tDir(pExecutablePath);
    tDir.cdUp();
    tDir.cdUp();
    tDir.cd(QStringLiteral("Plugins"));
    return tDir.absolutePath();
}

QStringList pluginPaths(const QString &pExecutablePath)
{
    QStringList tPaths {pluginFolder(pExecutablePath)};
    const QString tInstalled = QLibraryInfo::location(QLibraryInfo::PluginsPath);
    if (!tInstalled.isEmpty() && QDir(tInstalled).exists()
        && QDir(tInstalled).absolutePath() != tPaths.first())
        tPaths.append(QDir(tInstalled).absolutePath());
    return tPaths;
}

void setPluginPaths(const char *pArgv0)
{
    QCoreApplication::setLibraryPaths(pluginPaths(executablePath(pArgv0)));
}

QString genericDataLocation()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
}

QString appDataLocation()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
}

namespace {

bool isProgram(const QString &pPath)
{
    const QFileInfo tInfo(pPath);
    return tInfo.isFile() && tInfo.isExecutable();
}

} // namespace

QString slicerProgram(const QString &pConfiguredPath)
{
    if (!pConfiguredPath.isEmpty()) {
        const QFileInfo tInfo(pConfiguredPath);
        if (isProgram(pConfiguredPath))
            return tInfo.absoluteFilePath();
        if (tInfo.isDir()
            && tInfo.suffix().compare(QLatin1String("app"), Qt::CaseInsensitive) == 0) {
            const QString tInner
                = tInfo.absoluteFilePath() + QStringLiteral("/Contents/MacOS/Slic3r");
            if (isProgram(tInner))
                return tInner;
        }
        const QDir tBeside = tInfo.absoluteDir();
        for (const QString &tName : {QStringLiteral("slic3r"), QStringLiteral("Slic3r")}) {
            if (isProgram(tBeside.filePath(tName)))
                return tBeside.filePath(tName);
        }
    }
    return QStandardPaths::findExecutable(QStringLiteral("slic3r"));
}

QString urlOpenerProgram()
{
    return QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
}

QStringList urlOpenerArguments(const QUrl &pUrl)
{
    return {pUrl.isLocalFile() ? pUrl.toLocalFile() : pUrl.toString(QUrl::FullyEncoded)};
}

QString slicerSearchDescription(const QString &pConfiguredPath)
{
    QStringList tPlaces;
    if (!pConfiguredPath.isEmpty()) {
        const QFileInfo tInfo(pConfiguredPath);
        tPlaces << tInfo.absoluteFilePath()
                << QDir(tInfo.absolutePath()).filePath(QStringLiteral("slic3r"));
    }
    tPlaces << QStringLiteral("\"slic3r\" on the PATH (") + QString::fromLocal8Bit(qgetenv("PATH"))
            + QStringLiteral(")");
    return tPlaces.join(QStringLiteral(", "));
}

QStringList slicerWindowArguments(const QString &pProfileFolder)
{
    // Debian's Slic3r keeps its own profiles in ~/.Slic3r unless told otherwise.
    const QString tFolder = QDir::cleanPath(QDir::fromNativeSeparators(pProfileFolder));
    return {QStringLiteral("--datadir"), QDir::toNativeSeparators(tFolder),
        QStringLiteral("--no-plater"), QStringLiteral("--gui-mode"), QStringLiteral("expert")};
}

QString slicerChooserTitle()
{
    return QStringLiteral("Select Slic3r");
}

QString slicerChooserFilter()
{
    return QStringLiteral("Slic3r (slic3r Slic3r slic3r.pl);;All files (*)");
}

QString folderProblem(const QString &pFolder)
{
    QFileInfo tInfo(QDir::cleanPath(QDir(pFolder).absolutePath()));
    while (!tInfo.exists() && !tInfo.isRoot() && tInfo.absoluteFilePath() != tInfo.absolutePath())
        tInfo.setFile(tInfo.absolutePath());
    const QString tPath = QDir::toNativeSeparators(tInfo.absoluteFilePath());
    if (!tInfo.exists())
        return tPath + QStringLiteral(" does not exist");
    if (!tInfo.isDir())
        return tPath + QStringLiteral(" is a file, not a folder");
    if (::access(QFile::encodeName(tPath).constData(), W_OK | X_OK) != 0)
        return tPath + QStringLiteral(" cannot be written (")
            + QString::fromLocal8Bit(strerror(errno)) + QStringLiteral(")");
    return QStringLiteral("the system refused to make it in ") + tPath;
}

bool isProbedPort(const QString &pSystemLocation)
{
    if (pSystemLocation.toUpper().contains(QStringLiteral("BLUETOOTH")))
        return false;
    // Legacy ports such as ttyS0 may be a modem or a console: never written to.
    return isSelectablePort(QFileInfo(pSystemLocation).fileName());
}

bool isSelectablePort(const QString &pText)
{
    return pText.contains(QStringLiteral("usbmodem")) || pText.contains(QStringLiteral("ttyACM"))
        || pText.contains(QStringLiteral("ttyUSB"));
}

QString osDescription()
{
    return QSysInfo::prettyProductName();
}

QString serialPortOpenProblem(const QString &pDevicePath)
{
    const QByteArray tPath = QFile::encodeName(pDevicePath);
    if (::access(tPath.constData(), R_OK | W_OK) == 0) {
        return QStringLiteral("Cannot open ") + pDevicePath
            + QStringLiteral(": it is in use by another program.");
    }
    QString tGroup;
    struct stat tInfo
    {
    };
    if (::stat(tPath.constData(), &tInfo) == 0) {
        if (const struct group *tEntry = ::getgrgid(tInfo.st_gid)) {
            tGroup = QString::fromLocal8Bit(tEntry->gr_name);
        }
    }
    return QStringLiteral("Cannot open ") + pDevicePath
        + QStringLiteral(": permission denied. Add your user to the group ")
        + (tGroup.isEmpty() ? QStringLiteral("that owns the device")
                            : QStringLiteral("\"") + tGroup + QStringLiteral("\""))
        + QStringLiteral(", then log in again.");
}

QString notRegularFileReason(const QString &pPath)
{
    struct stat tInfo;
    if (pPath.isEmpty() || ::stat(QFile::encodeName(pPath).constData(), &tInfo) != 0
        || S_ISREG(tInfo.st_mode))
        return QString();
    const auto tNot = [](const char *pKind) {
        return QStringLiteral("it is %1, not a regular file").arg(QLatin1String(pKind));
    };
    if (S_ISDIR(tInfo.st_mode))
        return tNot("a folder");
    if (S_ISFIFO(tInfo.st_mode))
        return tNot("a named pipe (FIFO)");
    if (S_ISSOCK(tInfo.st_mode))
        return tNot("a socket");
    if (S_ISCHR(tInfo.st_mode) || S_ISBLK(tInfo.st_mode))
        return tNot("a device");
    return QStringLiteral("it is not a regular file");
}

bool isFileRemoved(const QFile &pFile)
{
    struct stat tOpen;
    if (pFile.handle() < 0 || fstat(pFile.handle(), &tOpen) != 0)
        return false;
    struct stat tNamed;
    if (tOpen.st_nlink == 0 || stat(QFile::encodeName(pFile.fileName()).constData(), &tNamed) != 0)
        return true;
    return tOpen.st_dev != tNamed.st_dev || tOpen.st_ino != tNamed.st_ino;
}

void *allocatePages(std::size_t pBytes)
{
    void *tData = mmap(nullptr, pBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return tData == MAP_FAILED ? nullptr : tData;
}

void freePages(void *pData, std::size_t pBytes)
{
    if (pData)
        munmap(pData, pBytes);
}

void adviseLargePages(void *pData, std::size_t pBytes)
{
    // Large pages pay off only for ranges that hold several of them.
    constexpr std::size_t tLargePageRange = std::size_t(4) << 20;
    if (!pData || pBytes < tLargePageRange)
        return;
    const std::uintptr_t tPage = std::uintptr_t(sysconf(_SC_PAGESIZE));
    const std::uintptr_t tStart = (std::uintptr_t(pData) + tPage - 1) & ~(tPage - 1);
    const std::uintptr_t tEnd = (std::uintptr_t(pData) + pBytes) & ~(tPage - 1);
    // A refusal (no such pages, an old kernel) leaves the range as it was.
    if (tEnd > tStart)
        madvise(reinterpret_cast<void *>(tStart), tEnd - tStart, MADV_HUGEPAGE);
}

unsigned usableCores()
{
    cpu_set_t tSet;
    CPU_ZERO(&tSet);
    if (sched_getaffinity(0, sizeof(tSet), &tSet) == 0 && CPU_COUNT(&tSet) > 0)
        return unsigned(CPU_COUNT(&tSet));
    return std::max(1u, std::thread::hardware_concurrency());
}

namespace {

// The pipe the end signals write their numbers to, and whether one has come.
int gEndSignalPipe[2] = {-1, -1};
volatile sig_atomic_t gEndSignalSeen = 0;

void onEndSignal(int pSignal)
{
    if (gEndSignalSeen) {
        // The second one: the way it would have ended the program on its own.
        signal(pSignal, SIG_DFL);
        raise(pSignal);
        return;
    }
    gEndSignalSeen = 1;
    const int tErrno = errno;
    const unsigned char tNumber = static_cast<unsigned char>(pSignal);
    if (write(gEndSignalPipe[1], &tNumber, 1) < 0) {
        // A full pipe holds a number already.
    }
    errno = tErrno;
}

} // namespace

void watchEndSignals(QObject *pContext, std::function<void(int)> pHandler)
{
    if (gEndSignalPipe[0] < 0 && pipe2(gEndSignalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    auto *tNotifier = new QSocketNotifier(gEndSignalPipe[0], QSocketNotifier::Read, pContext);
    QObject::connect(
        tNotifier, &QSocketNotifier::activated, pContext, [pHandler = std::move(pHandler)] {
            unsigned char tNumber = 0;
            while (read(gEndSignalPipe[0], &tNumber, 1) == 1)
                pHandler(int(tNumber));
        });
    struct sigaction tAction
    {
    };
    tAction.sa_handler = onEndSignal;
    sigemptyset(&tAction.sa_mask);
    tAction.sa_flags = SA_RESTART;
    for (const int tSignal : {SIGTERM, SIGHUP, SIGINT})
        sigaction(tSignal, &tAction, nullptr);
}

} // namespace Platform
} // namespace Kv
