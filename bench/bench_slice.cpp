// Our own side of one slice (writing the placed STL, merging the profiles, parsing the
// G-code into the queue) against the slicer's own run, for a 200,000-triangle part.
#include "benchSupport.h"

#include "kvPaths.h"
#include "kvPlatform.h"
#include "kvPrinterFile.h"
#include "kvSlic3rConfig.h"
#include "kvSlic3rSetting.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <cmath>

namespace {

// Closed sphere of 2 * pSlices * (pStacks - 1) triangles.
kvModel sphere(float pRadius, int pSlices, int pStacks)
{
    auto tPoint = [&](int pStack, int pSlice) {
        const double tTheta = M_PI * pStack / pStacks;
        const double tPhi = 2.0 * M_PI * pSlice / pSlices;
        return kvVertex(float(pRadius * std::sin(tTheta) * std::cos(tPhi)),
            float(pRadius * std::sin(tTheta) * std::sin(tPhi)), float(pRadius * std::cos(tTheta)));
    };
    kvModel tModel;
    for (int i = 0; i < pStacks; ++i) {
        for (int j = 0; j < pSlices; ++j) {
            const kvVertex tA = tPoint(i, j), tB = tPoint(i + 1, j);
            const kvVertex tC = tPoint(i + 1, j + 1), tD = tPoint(i, j + 1);
            if (i > 0)
                tModel.addTriangle(tA, tB, tD, kvVector3D());
            if (i < pStacks - 1)
                tModel.addTriangle(tD, tB, tC, kvVector3D());
        }
    }
    return tModel;
}

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir tHome;
    qputenv("XDG_DATA_HOME", QFile::encodeName(tHome.path()));
    QCoreApplication tApp(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Kestrova"));
    Kv::Paths::Initalize();
    Kv::validateSlic3rSettings();
    if (!Kv::copySlic3rSettings(false)
        || Kv::Platform::slicerProgram(Kv::Paths::Slic3rExe).isEmpty()) {
        std::printf("slic3r or its profiles are missing\n");
        return 1;
    }

    const kvModel tModel = sphere(30.0f, 500, 201);
    std::printf("part: %d triangles\n", int(tModel.triangles().size()));

    kvPrinterFile tFile;
    tFile.setBedCenter(QVector2D(75, 75));
    QElapsedTimer tClock;
    qint64 tWriteEnd = 0, tCommand = 0, tStarted = 0, tFinished = 0, tParsed = -1;
    QObject::connect(&tFile, &kvPrinterFile::SaveFileProgress, [&](int pProgress) {
        if (pProgress == 100)
            tWriteEnd = tClock.nsecsElapsed();
    });
    QObject::connect(&tFile, &kvPrinterFile::StatusUpdate, [&](const QString &pText) {
        if (pText.startsWith(QLatin1String("kvPrinterFile::sliceSTL:")))
            tCommand = tClock.nsecsElapsed();
        else if (pText.startsWith(QLatin1String("kvPrinterFile::onSlic3rProcessStarted")))
            tStarted = tClock.nsecsElapsed();
        else if (pText == QLatin1String("kvPrinterFile::onSlicerProcessFinished"))
            tFinished = tClock.nsecsElapsed();
    });
    QEventLoop tLoop;
    QObject::connect(&tFile, &kvPrinterFile::GCodeParseComplete, [&] {
        tParsed = tClock.nsecsElapsed();
        tLoop.quit();
    });
    QObject::connect(&tFile, &kvPrinterFile::Slic3rError, &tLoop, &QEventLoop::quit);
    QTimer::singleShot(600000, &tLoop, &QEventLoop::quit);

    tClock.start();
    tFile.sliceFile(kvVector3D(0, 0, 45), tModel, kvVector3D(5, 0, 5), 1.0f);
    tLoop.exec();
    if (tParsed < 0) {
        std::printf("the slice failed\n");
        return 1;
    }

    const double tWrite = tWriteEnd / 1e9;
    const double tMerge = (tCommand - tWriteEnd) / 1e9;
    const double tLaunch = (tStarted - tCommand) / 1e9;
    const double tSlicer = (tFinished - tStarted) / 1e9;
    const double tParse = (tParsed - tFinished) / 1e9;
    const double tOurs = tWrite + tMerge + tParse;
    KvBench::report("write placed STL (ASCII)", tWrite, tModel.triangles().size(), "triangles");
    KvBench::report("merge profiles + command line", tMerge, 1, "merges");
    KvBench::report("start slicer process", tLaunch, 1, "starts");
    KvBench::report("slicer run (external)", tSlicer, 1, "slices");
    KvBench::report("parse G-code into the queue", tParse, tFile.GCodeQueueCount(), "lines");
    std::printf("our side %.3f s / slicer %.3f s = %.3f (target <= 0.15)\n", tOurs, tSlicer,
        tSlicer > 0 ? tOurs / tSlicer : 0.0);
    return 0;
}
