// Loading a 1,000,000-triangle part as binary and as ASCII STL, and parsing a
// 1,000,000-line G-code file of Debian's slic3r into the print queue. Each case
// runs in a child process of its own so that its peak memory is its own.
#include "benchMeshes.h"
#include "benchSupport.h"

#include "kvPrinterFile.h"

#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtEndian>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

constexpr int kSlices = 1000;
constexpr int kStacks = 501; // 2 * slices * (stacks - 1) = 1,000,000 triangles
constexpr int kTriangles = 2 * kSlices * (kStacks - 1);
constexpr int kGCodeLines = 1000000;

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

// Slices a part with Debian's slic3r and repeats its output up to the wanted line count.
bool writeGCode(const QString &pDir, const QString &pPath)
{
    const QString tStl = pDir + "/part.stl";
    QFile tPart(tStl);
    if (!tPart.open(QIODevice::WriteOnly))
        return false;
    tPart.write("solid part\n");
    // A 30 mm cube.
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
            tPart.write(" facet normal 0 0 0\n  outer loop\n");
            for (int c : tIdx)
                tPart.write(QString("   vertex %1 %2 %3\n")
                                .arg(tQuad[c][0])
                                .arg(tQuad[c][1])
                                .arg(tQuad[c][2])
                                .toUtf8());
            tPart.write("  endloop\n endfacet\n");
        }
    }
    tPart.write("endsolid part\n");
    tPart.close();

    const QString tSliced = pDir + "/part.gcode";
    QProcess tSlicer;
    tSlicer.start("slic3r", {tStl, "--layer-height", "0.1", "-o", tSliced});
    if (!tSlicer.waitForFinished(120000) || tSlicer.exitStatus() != QProcess::NormalExit
        || tSlicer.exitCode() != 0)
        return false;
    QFile tIn(tSliced);
    if (!tIn.open(QIODevice::ReadOnly))
        return false;
    const QList<QByteArray> tLines = tIn.readAll().split('\n');
    QFile tOut(pPath);
    if (!tOut.open(QIODevice::WriteOnly | QIODevice::Truncate) || tLines.size() < 2)
        return false;
    QByteArray tText;
    for (int i = 0; i < kGCodeLines; ++i)
        tText += tLines.at(i % (tLines.size() - 1)) + '\n';
    tOut.write(tText);
    return true;
}

// Runs pWork in a child process; returns false when the child failed.
template <typename Work> bool inChild(Work pWork)
{
    std::fflush(stdout);
    const pid_t tPid = fork();
    if (tPid == 0) {
        const bool tResult = pWork();
        std::fflush(stdout);
        _exit(tResult ? 0 : 1);
    }
    int tStatus = 0;
    waitpid(tPid, &tStatus, 0);
    return WIFEXITED(tStatus) && WEXITSTATUS(tStatus) == 0;
}

bool loadCase(const char *pWhat, const QString &pPath, double pLimitSeconds)
{
    QElapsedTimer tTimer;
    tTimer.start();
    kvPrinterFile tFile(pPath);
    const kvModel tModel = tFile.loadFile();
    const double tSeconds = tTimer.nsecsElapsed() / 1e9;
    KvBench::report(pWhat, tSeconds, kTriangles, "triangles");
    const double tPerTriangle = double(KvBench::peakMemoryBytes()) / kTriangles;
    std::printf("%-48s %9.0f bytes per triangle (peak)\n", "", tPerTriangle);
    if (tModel.triangles().size() != kTriangles) {
        std::printf("  read %d triangles, expected %d\n", tModel.triangles().size(), kTriangles);
        return false;
    }
    std::printf("  %s: %.3f s (limit %.1f s)\n", tSeconds <= pLimitSeconds ? "ok" : "SLOW",
        tSeconds, pLimitSeconds);
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication tApp(argc, argv);
    QTemporaryDir tDir;
    if (!tDir.isValid())
        return 1;
    const QString tBinary = tDir.filePath("sphere-binary.stl");
    const QString tAscii = tDir.filePath("sphere-ascii.stl");
    const QString tGCode = tDir.filePath("slic3r.gcode");
    {
        const QVector<kvVector3D> tCorners = KvBench::sphereCorners(50.0, kSlices, kStacks);
        if (!writeBinary(tBinary, tCorners) || !writeAscii(tAscii, tCorners)) {
            std::printf("could not write the STL files\n");
            return 1;
        }
    }
    std::printf("binary STL %.1f MB, ASCII STL %.1f MB\n", QFileInfo(tBinary).size() / 1048576.0,
        QFileInfo(tAscii).size() / 1048576.0);

    bool tOk = true;
    tOk &= inChild([&] { return loadCase("loadFile binary STL, 1M triangles", tBinary, 0.8); });
    tOk &= inChild([&] { return loadCase("loadFile ASCII STL, 1M triangles", tAscii, 2.5); });

    if (writeGCode(tDir.path(), tGCode)) {
        tOk &= inChild([&] {
            QElapsedTimer tTimer;
            tTimer.start();
            kvPrinterFile tFile(tGCode);
            tFile.loadFile();
            const double tSeconds = tTimer.nsecsElapsed() / 1e9;
            KvBench::report("parseGCode slic3r output, 1M lines", tSeconds, kGCodeLines, "lines");
            std::printf("  %d lines queued; %s: %.0f lines/s (at least 1000000)\n",
                tFile.GCodeQueueCount(), kGCodeLines / tSeconds >= 1e6 ? "ok" : "SLOW",
                kGCodeLines / tSeconds);
            return tFile.GCodeQueueCount() > kGCodeLines / 2;
        });
    } else {
        std::printf("parseGCode: slic3r not available, case skipped\n");
    }
    return tOk ? 0 : 1;
}
