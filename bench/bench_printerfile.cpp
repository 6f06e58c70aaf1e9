// Loading STL parts and G-code side by side with other tools, on the same generated files:
// spheres of 10,000, 100,000, 1,000,000 and 4,000,000 triangles as binary STL, 100,000 and
// 1,000,000 as ASCII STL, and a 1,000,000-line G-code file. Every load runs as a process
// of its own, five times, interleaved with the peers; the medians of wall time, CPU time
// (user and system), minor page faults and peak memory are printed, with the share of the
// cores the load kept busy (CPU time / wall time / cores) and the ratios this project / peer.
// Peers (Debian packages): admesh ("admesh --exact": read and match every edge exactly)
// and python3-stl (numpy-stl's Mesh.from_file). A peer that is missing is skipped.
// Usage: bench_printerfile [--quick] [--binary]
//   --quick: up to 1,000,000 triangles only; --binary: binary STL only (no ASCII, no G-code)
#include "benchMeshes.h"
#include "benchSupport.h"

#include "kvPrinterFile.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtEndian>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

namespace {

constexpr int kRuns = 5;
constexpr int kGCodeLines = 1000000;

struct Sample
{
    double seconds = 0.0;
    double cpuSeconds = 0.0;
    double minorFaults = 0.0;
    double peakBytes = 0.0;
    bool ok = false;
};

// Each figure the median of its own.
using Median = Sample;

double cores()
{
    return std::max(1u, std::thread::hardware_concurrency());
}

// Runs a program to its end; wall time, CPU time, minor page faults and peak resident memory
// of that process alone.
Sample runProcess(const std::vector<std::string> &pArgs)
{
    Sample tSample;
    std::vector<char *> tArgv;
    for (const std::string &tArg : pArgs)
        tArgv.push_back(const_cast<char *>(tArg.c_str()));
    tArgv.push_back(nullptr);
    std::fflush(stdout);
    QElapsedTimer tClock;
    tClock.start();
    const pid_t tPid = fork();
    if (tPid == 0) {
        // Peers print their reports; only the times matter here.
        if (!freopen("/dev/null", "w", stdout) || !freopen("/dev/null", "w", stderr))
            _exit(127);
        execvp(tArgv[0], tArgv.data());
        _exit(127);
    }
    int tStatus = 0;
    rusage tUsage {};
    wait4(tPid, &tStatus, 0, &tUsage);
    tSample.seconds = tClock.nsecsElapsed() / 1e9;
    const auto tSeconds = [](const timeval &pTime) { return pTime.tv_sec + pTime.tv_usec / 1e6; };
    tSample.cpuSeconds = tSeconds(tUsage.ru_utime) + tSeconds(tUsage.ru_stime);
    tSample.minorFaults = double(tUsage.ru_minflt);
    tSample.peakBytes = double(tUsage.ru_maxrss) * 1024.0;
    tSample.ok = WIFEXITED(tStatus) && WEXITSTATUS(tStatus) == 0;
    return tSample;
}

Median median(std::vector<Sample> pSamples)
{
    Median tMedian;
    tMedian.ok = !pSamples.empty()
        && std::all_of(pSamples.begin(), pSamples.end(), [](const Sample &s) { return s.ok; });
    if (pSamples.empty())
        return tMedian;
    const auto tMiddle = [&](double Sample::*pField) {
        std::vector<double> tValues;
        for (const Sample &tSample : pSamples)
            tValues.push_back(tSample.*pField);
        std::sort(tValues.begin(), tValues.end());
        return tValues[tValues.size() / 2];
    };
    tMedian.seconds = tMiddle(&Sample::seconds);
    tMedian.cpuSeconds = tMiddle(&Sample::cpuSeconds);
    tMedian.minorFaults = tMiddle(&Sample::minorFaults);
    tMedian.peakBytes = tMiddle(&Sample::peakBytes);
    return tMedian;
}

bool writeBinary(const QString &pPath, const QVector<kvVector3D> &pCorners)
{
    QFile tFile(pPath);
    if (!tFile.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    char tHeader[84] = {};
    qToLittleEndian(qint32(pCorners.size() / 3), tHeader + 80);
    tFile.write(tHeader, sizeof(tHeader));
    QByteArray tFacet(50, '\0');
    for (int i = 0; i < pCorners.size(); i += 3) {
        float tValues[12] = {0, 0, 1};
        for (int c = 0; c < 3; ++c) {
            tValues[3 + 3 * c] = pCorners.at(i + c).x();
            tValues[4 + 3 * c] = pCorners.at(i + c).y();
            tValues[5 + 3 * c] = pCorners.at(i + c).z();
        }
        std::memcpy(tFacet.data(), tValues, sizeof(tValues));
        tFile.write(tFacet);
    }
    return true;
}

bool writeAscii(const QString &pPath, const QVector<kvVector3D> &pCorners)
{
    FILE *tOut = std::fopen(QFile::encodeName(pPath).constData(), "w");
    if (!tOut)
        return false;
    std::fputs("solid sphere\n", tOut);
    for (int i = 0; i < pCorners.size(); i += 3) {
        std::fputs("  facet normal 0.000000e+00 0.000000e+00 1.000000e+00\n    outer loop\n", tOut);
        for (int c = 0; c < 3; ++c) {
            const kvVector3D &tP = pCorners.at(i + c);
            std::fprintf(
                tOut, "      vertex %e %e %e\n", double(tP.x()), double(tP.y()), double(tP.z()));
        }
        std::fputs("    endloop\n  endfacet\n", tOut);
    }
    std::fputs("endsolid sphere\n", tOut);
    return std::fclose(tOut) == 0;
}

// Debian's slic3r output repeated up to the wanted line count; without slic3r, moves of
// the same shape.
bool writeGCode(const QString &pDir, const QString &pPath)
{
    QList<QByteArray> tLines;
    const QString tStl = pDir + "/cube.stl";
    const QString tSliced = pDir + "/cube.gcode";
    kvModel tCube;
    const float tS = 30.0f;
    const float tQuads[6][4][3] = {{{0, 0, 0}, {0, tS, 0}, {tS, tS, 0}, {tS, 0, 0}},
        {{0, 0, tS}, {tS, 0, tS}, {tS, tS, tS}, {0, tS, tS}},
        {{0, 0, 0}, {tS, 0, 0}, {tS, 0, tS}, {0, 0, tS}},
        {{0, tS, 0}, {0, tS, tS}, {tS, tS, tS}, {tS, tS, 0}},
        {{0, 0, 0}, {0, 0, tS}, {0, tS, tS}, {0, tS, 0}},
        {{tS, 0, 0}, {tS, tS, 0}, {tS, tS, tS}, {tS, 0, tS}}};
    for (const auto &tQuad : tQuads) {
        for (const int tTri : {0, 1}) {
            const int tIdx[3] = {0, 1 + tTri, 2 + tTri};
            tCube.addTriangle(kvVertex(tQuad[tIdx[0]][0], tQuad[tIdx[0]][1], tQuad[tIdx[0]][2]),
                kvVertex(tQuad[tIdx[1]][0], tQuad[tIdx[1]][1], tQuad[tIdx[1]][2]),
                kvVertex(tQuad[tIdx[2]][0], tQuad[tIdx[2]][1], tQuad[tIdx[2]][2]), kvVector3D());
        }
    }
    kvPrinterFile tWriter;
    if (tWriter.saveFile(tStl, kvVector3D(), tCube)
        && !QStandardPaths::findExecutable(QStringLiteral("slic3r")).isEmpty()) {
        QProcess tSlicer;
        tSlicer.start("slic3r", {tStl, "--layer-height", "0.1", "-o", tSliced});
        QFile tIn(tSliced);
        if (tSlicer.waitForFinished(120000) && tSlicer.exitCode() == 0
            && tIn.open(QIODevice::ReadOnly))
            tLines = tIn.readAll().split('\n');
    }
    if (tLines.size() < 2) {
        std::printf("(slic3r not available: synthetic G-code)\n");
        tLines.clear();
        for (int i = 0; i < 1000; ++i)
            tLines << QByteArray("G1 X") + QByteArray::number(i % 200) + ".5 Y"
                    + QByteArray::number((i * 7) % 200) + ".25 E" + QByteArray::number(i * 0.01)
                    + " ; perimeter";
        tLines << QByteArray();
    }
    QFile tOut(pPath);
    if (!tOut.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QByteArray tText;
    for (int i = 0; i < kGCodeLines; ++i)
        tText += tLines.at(i % (tLines.size() - 1)) + '\n';
    return tOut.write(tText) == tText.size();
}

// Child mode: loads one file with kvPrinterFile, checks what it got and ends at once (the
// time of freeing the mesh is not part of loading it).
int loadOnly(const QString &pPath, int pExpected)
{
    kvPrinterFile tFile(pPath);
    const kvModel tModel = tFile.loadFile();
    bool tOk = tModel.triangles().size() == pExpected;
    if (tFile.fileType() == Kv::Defines::FileTypeGCode)
        tOk = tFile.GCodeQueueCount() >= pExpected;
    std::fflush(stdout);
    std::_Exit(tOk ? 0 : 1);
}

struct Peer
{
    const char *name;
    std::vector<std::string> command; // the file is appended
};

void printRow(
    const char *pWho, const Median &pMedian, double pItems, const char *pUnit, const Median *pOurs)
{
    if (!pMedian.ok) {
        std::printf("  %-22s failed\n", pWho);
        return;
    }
    std::printf(
        "  %-16s %7.3f s  cpu %7.3f s  cores %4.1f%%  faults %7.0f  %9.0f %s/s  peak %7.1f MB "
        "%5.0f B/%s",
        pWho, pMedian.seconds, pMedian.cpuSeconds,
        100.0 * pMedian.cpuSeconds / pMedian.seconds / cores(), pMedian.minorFaults,
        pItems / pMedian.seconds, pUnit, pMedian.peakBytes / 1048576.0, pMedian.peakBytes / pItems,
        pUnit);
    if (pOurs && pOurs->ok)
        std::printf("\n  %16s ours/peer: time %.2f x, cpu %.2f x, faults %.2f x, memory %.2f x", "",
            pOurs->seconds / pMedian.seconds, pOurs->cpuSeconds / pMedian.cpuSeconds,
            pOurs->minorFaults / pMedian.minorFaults, pOurs->peakBytes / pMedian.peakBytes);
    std::printf("\n");
}

// Our median and admesh's (not ok when admesh did not run).
struct Result
{
    Median ours;
    Median admesh;
};

Result compare(const char *pWhat, const std::string &pSelf, const QString &pPath, int pItems,
    int pExpected, const char *pUnit, const std::vector<Peer> &pPeers)
{
    std::printf("%s (%.1f MB)\n", pWhat, QFileInfo(pPath).size() / 1048576.0);
    const std::string tPath = QFile::encodeName(pPath).toStdString();
    std::vector<Sample> tOurs;
    std::vector<std::vector<Sample>> tTheirs(pPeers.size());
    for (int tRun = 0; tRun < kRuns; ++tRun) {
        tOurs.push_back(runProcess({pSelf, "--load", tPath, std::to_string(pExpected)}));
        for (size_t p = 0; p < pPeers.size(); ++p) {
            std::vector<std::string> tCommand = pPeers[p].command;
            tCommand.push_back(tPath);
            tTheirs[p].push_back(runProcess(tCommand));
        }
    }
    Result tResult;
    tResult.ours = median(tOurs);
    printRow("kestrova", tResult.ours, pItems, pUnit, nullptr);
    for (size_t p = 0; p < pPeers.size(); ++p) {
        const Median tPeer = median(tTheirs[p]);
        printRow(pPeers[p].name, tPeer, pItems, pUnit, &tResult.ours);
        if (std::strncmp(pPeers[p].name, "admesh", 6) == 0)
            tResult.admesh = tPeer;
    }
    std::fflush(stdout);
    return tResult;
}

// "n/a" unless both ran.
void printRatio(const char *pWhat, const Median &pOurs, const Median &pPeer, const char *pTarget)
{
    if (pOurs.ok && pPeer.ok)
        std::printf("  %-44s %6.2f x   (%s)\n", pWhat, pOurs.seconds / pPeer.seconds, pTarget);
    else
        std::printf("  %-44s    n/a   (%s)\n", pWhat, pTarget);
}

// One line a binary STL size: wall time and CPU time against admesh's, page faults, cores.
void printBinaryLine(int pTriangles, const Result &pResult)
{
    const Median &tOurs = pResult.ours;
    const Median &tPeer = pResult.admesh;
    std::printf("  %8d tri:", pTriangles);
    if (!tOurs.ok) {
        std::printf(" failed\n");
        return;
    }
    std::printf(
        " wall %6.3f s, cpu %6.3f s, %5.1f cores (%3.0f%% of %g), faults %7.0f, %5.1f B/tri",
        tOurs.seconds, tOurs.cpuSeconds, tOurs.cpuSeconds / tOurs.seconds,
        100.0 * tOurs.cpuSeconds / tOurs.seconds / cores(), cores(), tOurs.minorFaults,
        tOurs.peakBytes / pTriangles);
    if (tPeer.ok)
        std::printf(
            "; admesh wall %6.3f s, cpu %6.3f s, faults %7.0f; ours/admesh wall %.2f x, cpu "
            "%.2f x",
            tPeer.seconds, tPeer.cpuSeconds, tPeer.minorFaults, tOurs.seconds / tPeer.seconds,
            tOurs.cpuSeconds / tPeer.cpuSeconds);
    std::printf("\n");
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication tApp(argc, argv);
    qInstallMessageHandler(KvBench::quietDebug);
    const QStringList tArgs = tApp.arguments();
    if (tArgs.size() == 4 && tArgs.at(1) == QLatin1String("--load"))
        return loadOnly(tArgs.at(2), tArgs.at(3).toInt());
    const bool tQuick = tArgs.contains(QStringLiteral("--quick"));
    const bool tBinaryOnly = tArgs.contains(QStringLiteral("--binary"));
    double tLoad[3] = {};
    if (getloadavg(tLoad, 3) == 3)
        std::printf("%g cores; load average %.2f %.2f %.2f at the start\n", cores(), tLoad[0],
            tLoad[1], tLoad[2]);

    QTemporaryDir tDir;
    if (!tDir.isValid())
        return 1;
    const std::string tSelf = QFile::encodeName(tApp.applicationFilePath()).toStdString();

    std::vector<Peer> tStlPeers;
    if (!QStandardPaths::findExecutable(QStringLiteral("admesh")).isEmpty())
        tStlPeers.push_back({"admesh --exact", {"admesh", "--exact"}});
    else
        std::printf("(admesh not installed: apt-get install admesh)\n");
    // Debian's python3 carries python3-stl, whichever python is first on the PATH.
    if (QFileInfo::exists(QStringLiteral("/usr/lib/python3/dist-packages/stl")))
        tStlPeers.push_back({"numpy-stl",
            {"/usr/bin/python3", "-c",
                "import sys; from stl import mesh; mesh.Mesh.from_file(sys.argv[1])"}});
    else
        std::printf("(numpy-stl not installed: apt-get install python3-stl)\n");

    // 2 * slices * (stacks - 1) triangles.
    struct Size
    {
        int slices;
        int stacks;
        bool ascii;
    };
    std::vector<Size> tSizes
        = {{10, 501, false}, {100, 501, !tBinaryOnly}, {1000, 501, !tBinaryOnly}};
    std::vector<int> tBinaryCounts;
    std::vector<Result> tBinaryResults;
    Result tAsciiResult;
    int tAsciiCount = 0;
    if (!tQuick)
        tSizes.push_back({2000, 1001, false});
    for (const Size &tSize : tSizes) {
        const int tTriangles = 2 * tSize.slices * (tSize.stacks - 1);
        const QString tBinary = tDir.filePath(QStringLiteral("sphere-%1.stl").arg(tTriangles));
        const QString tAscii = tDir.filePath(QStringLiteral("sphere-%1-ascii.stl").arg(tTriangles));
        tBinaryCounts.push_back(tTriangles);
        {
            const QVector<kvVector3D> tCorners
                = KvBench::sphereCorners(50.0, tSize.slices, tSize.stacks);
            if (!writeBinary(tBinary, tCorners) || (tSize.ascii && !writeAscii(tAscii, tCorners))) {
                std::printf("could not write the STL files\n");
                return 1;
            }
        }
        tBinaryResults.push_back(
            compare(qPrintable(QStringLiteral("binary STL, %1 triangles").arg(tTriangles)), tSelf,
                tBinary, tTriangles, tTriangles, "tri", tStlPeers));
        QFile::remove(tBinary);
        if (tSize.ascii) {
            tAsciiResult
                = compare(qPrintable(QStringLiteral("ASCII STL, %1 triangles").arg(tTriangles)),
                    tSelf, tAscii, tTriangles, tTriangles, "tri", tStlPeers);
            tAsciiCount = tTriangles;
            QFile::remove(tAscii);
        }
    }

    const QString tGCode = tDir.filePath(QStringLiteral("print.gcode"));
    Result tGCodeResult;
    if (!tBinaryOnly && writeGCode(tDir.path(), tGCode))
        tGCodeResult = compare("G-code into the print queue, 1000000 lines", tSelf, tGCode,
            kGCodeLines, kGCodeLines / 2, "line", {});

    std::printf("\nSummary\n");
    for (size_t i = 0; i < tBinaryCounts.size(); ++i)
        printBinaryLine(tBinaryCounts[i], tBinaryResults[i]);
    for (size_t i = 0; i < tBinaryCounts.size(); ++i) {
        const char *tTarget = tBinaryCounts[i] >= 4000000 ? "target <= 0.60"
            : tBinaryCounts[i] >= 1000000                 ? "target <= 0.80"
                                                          : "no regression";
        const QByteArray tWhat = QStringLiteral("binary STL %1 triangles, time ours/admesh")
                                     .arg(tBinaryCounts[i])
                                     .toUtf8();
        printRatio(tWhat.constData(), tBinaryResults[i].ours, tBinaryResults[i].admesh, tTarget);
        const Median &tOurs = tBinaryResults[i].ours;
        const Median &tPeer = tBinaryResults[i].admesh;
        const QByteArray tCpu = QStringLiteral("binary STL %1 triangles, cpu ours/admesh")
                                    .arg(tBinaryCounts[i])
                                    .toUtf8();
        // Small files read on one thread: their time is mostly the program's start.
        if (tOurs.ok && tPeer.ok)
            std::printf("  %-44s %6.2f x   (%s)\n", tCpu.constData(),
                tOurs.cpuSeconds / tPeer.cpuSeconds,
                tBinaryCounts[i] >= 1000000 ? "target <= 1.30" : "one thread: no regression");
    }
    const Median &tLargest = tBinaryResults.back().ours;
    if (tLargest.ok)
        std::printf("  %-44s %6.1f B   (target <= 120 at 4000000)\n",
            qPrintable(QStringLiteral("binary STL %1 triangles, peak per triangle")
                           .arg(tBinaryCounts.back())),
            tLargest.peakBytes / tBinaryCounts.back());
    if (!tBinaryOnly)
        printRatio(
            qPrintable(QStringLiteral("ASCII STL %1 triangles, time ours/admesh").arg(tAsciiCount)),
            tAsciiResult.ours, tAsciiResult.admesh, "target <= 0.50");
    if (tGCodeResult.ours.ok)
        std::printf("  %-44s %6.2f M   (target >= 2.50)\n", "G-code, million lines per second",
            kGCodeLines / tGCodeResult.ours.seconds / 1e6);
    // Per-triangle cost at the largest size over that at 100,000 (the smallest is mostly the
    // start of a process): 1 is linear.
    const size_t tFrom = tBinaryCounts.size() > 1 ? 1 : 0;
    const Median &tSmallest = tBinaryResults[tFrom].ours;
    if (tSmallest.ok && tLargest.ok) {
        const double tScale = double(tBinaryCounts.back()) / tBinaryCounts[tFrom];
        std::printf("  %-44s %6.2f time, %.2f memory per triangle (linear: 1)\n",
            qPrintable(QStringLiteral("growth %1 to %2 triangles")
                           .arg(tBinaryCounts[tFrom])
                           .arg(tBinaryCounts.back())),
            tLargest.seconds / tSmallest.seconds / tScale,
            tLargest.peakBytes / tSmallest.peakBytes / tScale);
    }
    return 0;
}
