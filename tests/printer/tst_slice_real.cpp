#include "kvPaths.h"
#include "kvPlatform.h"
#include "kvPrinter.h"
#include "kvPrinterFile.h"
#include "kvSlic3rConfig.h"
#include "kvSlic3rSetting.h"
#include "kvSliceFixtures.h"
#include "kvTestSupport.h"

#include <QSignalSpy>

#include <algorithm>
#include <limits>

using namespace KvTest;

// Slices a 20 mm cube with the installed slicer for every printer type.
class tst_SliceReal : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        Kv::Paths::Initalize();
        Kv::validateSlic3rSettings();
        QVERIFY(Kv::copySlic3rSettings(false));
        kvPrinter::loadPrinterTypes(
            QStringLiteral(KV_SOURCE_DIR "/resources/kvPrinterSettings.ini"));
        QVERIFY(!kvPrinter::PrinterTypes.isEmpty());
        QVERIFY2(!Kv::Platform::slicerProgram(Kv::Paths::Slic3rExe).isEmpty(),
            "slic3r is not installed");
    }

    void cleanupTestCase() { kvPrinter::clearPrinterTypes(); }

    void cubeLandsAroundThePrintCentre_data()
    {
        QTest::addColumn<int>("type");
        for (int i = 0; i < kvPrinter::PrinterTypes.size(); ++i)
            QTest::newRow(qPrintable(kvPrinter::PrinterTypes.at(i)->printerName())) << i;
    }

    void cubeLandsAroundThePrintCentre()
    {
        QFETCH(int, type);
        const kvPrinterSettings *tType = kvPrinter::PrinterTypes.at(type);

        kvPrinterFile tFile;
        kvSlic3rConfig *tConfig = tFile.slic3rConfig();
        tConfig->selectPrinter(tType->slic3rPrinterSetting());
        tConfig->selectFilament(tType->slic3rFilamentSetting());
        const bool tTovra = tType->printerName().contains(QLatin1String("Tovra"));
        tConfig->selectQuality(tTovra ? QStringLiteral("Tovra Low") : QStringLiteral("Low"));
        QCOMPARE(tConfig->PrinterIni(), tType->slic3rPrinterSetting());
        QCOMPARE(tConfig->FilamentIni(), tType->slic3rFilamentSetting());
        QCOMPARE(tConfig->PrintIni(),
            tTovra ? QStringLiteral("Halvarn Tovra Low.ini") : QStringLiteral("Halvarn Low.ini"));

        const QVector2D tBedCenter(tType->bedSize().x() / 2, tType->bedSize().y() / 2);
        tFile.setBedCenter(tBedCenter);
        const kvVector3D tOffset(15.0f, 0.0f, -10.0f);
        const QVector2D tCenter(tBedCenter.x() + tOffset.x(), tBedCenter.y() - tOffset.z());

        QSignalSpy tParsed(&tFile, &kvPrinterFile::GCodeParseComplete);
        QSignalSpy tError(&tFile, &kvPrinterFile::Slic3rError);
        QSignalSpy tProgress(&tFile, &kvPrinterFile::Slic3rProcessingProgress);
        QSignalSpy tStatus(&tFile, &kvPrinterFile::StatusUpdate);
        const kvModel tCube = cubeModel(20.0f);
        tFile.sliceFile(kvVector3D(), tCube, tOffset, 1.0f);
        QTRY_VERIFY_WITH_TIMEOUT(tParsed.count() + tError.count() > 0, 30000);
        QVERIFY2(tError.isEmpty(), qPrintable(textValues(tStatus).join('\n')));
        QCOMPARE(tParsed.count(), 1);
        QVERIFY(tFile.isSliced());
        QCOMPARE(intValues(tProgress).last(), 100);
        QVERIFY(tFile.PrintQueueCount() > 0);

        float tMinX = std::numeric_limits<float>::max(), tMaxX = -tMinX;
        float tMinY = tMinX, tMaxY = -tMinX;
        int tExtrusions = 0;
        for (const kvGCode &tLine : tFile.gcodeQueue()) {
            if (tLine.Command() != QLatin1String("G") || tLine.CommandNumber() != 1 || !tLine.hasX()
                || !tLine.hasY() || !tLine.hasE())
                continue;
            ++tExtrusions;
            tMinX = std::min(tMinX, tLine.XValue());
            tMaxX = std::max(tMaxX, tLine.XValue());
            tMinY = std::min(tMinY, tLine.YValue());
            tMaxY = std::max(tMaxY, tLine.YValue());
        }
        QVERIFY(tExtrusions > 100);
        QVERIFY2(qAbs((tMinX + tMaxX) / 2 - tCenter.x()) < 1.5f
                && qAbs((tMinY + tMaxY) / 2 - tCenter.y()) < 1.5f,
            qPrintable(QStringLiteral("extrusions %1..%2, %3..%4 around %5,%6")
                           .arg(tMinX)
                           .arg(tMaxX)
                           .arg(tMinY)
                           .arg(tMaxY)
                           .arg(tCenter.x())
                           .arg(tCenter.y())));
        // The cube itself lies inside the extrusions, skirt and brim around it.
        QVERIFY(tMaxX - tMinX >= 19.0f && tMaxY - tMinY >= 19.0f);

        // Printing again with the same placement takes the queue as it is.
        const int tLines = tFile.GCodeQueueCount();
        tFile.dequeueGCode();
        tStatus.clear();
        tFile.sliceFile(kvVector3D(), tCube, tOffset, 1.0f);
        QVERIFY(!tFile.isSlicing());
        QCOMPARE(textValues(tStatus).filter(QStringLiteral("sliceSTL")).size(), 0);
        QCOMPARE(tFile.PrintQueueCount(), tLines);
        QCOMPARE(tParsed.count(), 1);
    }
};

KV_TEST_MAIN(tst_SliceReal)
#include "tst_slice_real.moc"
