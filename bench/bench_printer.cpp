// Host throughput of the printer link: a print streamed to a simulated firmware that
// answers "ok" at once, with the print log off and on.
#include "benchSupport.h"
#include "kvFakeFirmware.h"
#include "kvGCode.h"
#include "kvLogger.h"
#include "kvPrinter.h"
#include "kvPrinterFile.h"

#include <QApplication>
#include <QDir>
#include <QQueue>
#include <QTemporaryDir>

namespace {

// Lines per second of one print of pLines; 0 when the print did not arrive whole.
double streamPrint(const QQueue<kvGCode> &pLines, kvLogger *pLogger)
{
    kvFakeFirmware tFirmware;
    if (!tFirmware.open()) {
        return 0.0;
    }
    tFirmware.setMachineType(QStringLiteral("Halvarn_8x8"));
    kvPrinter tPrinter(tFirmware.portPath());
    tPrinter.setLogger(pLogger);
    tPrinter.connectToPrinter();
    if (!tFirmware.waitFor([&] { return tPrinter.isConnected(); })
        || !tFirmware.waitForLine(QStringLiteral("M105")) || !tFirmware.waitForQuiet(100)) {
        std::printf("printer not identified\n");
        return 0.0;
    }

    kvPrinterFile tFile;
    tFile.setGcodeQueue(pLines);
    tPrinter.setPrinterFile(&tFile);
    tPrinter.print();
    QMetaObject::invokeMethod(&tPrinter, "onCheckHeatTimerTick", Q_ARG(bool, true));
    if (!tFirmware.waitFor([&] { return tPrinter.isPrinting(); })) {
        std::printf("print did not start: %s\n", qPrintable(tPrinter.statusString()));
        return 0.0;
    }
    tFirmware.setFastOk(true);
    const int tFrom = tFirmware.lineCount();

    QElapsedTimer tClock;
    tClock.start();
    tFirmware.waitFor([&] { return !tPrinter.isPrinting(); }, 600000);
    const double tSeconds = tClock.nsecsElapsed() / 1e9;
    if (!tFirmware.waitForLine(QStringLiteral("M140 S0"), 5000)
        || tFirmware.line(tFirmware.lineCount() - 3) != pLines.last().Cleaned()) {
        std::printf("print did not arrive whole (%d lines)\n", tFirmware.lineCount() - tFrom);
        return 0.0;
    }
    return pLines.size() / tSeconds;
}

} // namespace

int main(int argc, char **argv)
{
    // The print log goes to a folder of its own.
    QTemporaryDir tData;
    qputenv("XDG_DATA_HOME", QFile::encodeName(tData.path()));
    QApplication tApp(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Kestrova"));
    QDir().mkpath(tData.path() + QStringLiteral("/Kestrova"));

    // The build puts the printer types file in its top folder.
    kvPrinter::loadPrinterTypes(
        QCoreApplication::applicationDirPath() + QStringLiteral("/../kvPrinterSettings.ini"));

    // An optional argument shortens the print, for a quick look.
    const int tCount = argc > 1 ? qMax(10, atoi(argv[1])) : 100000;
    QQueue<kvGCode> tLines;
    for (int i = 0; i < tCount; ++i) {
        tLines.enqueue(kvGCode(QStringLiteral("G1 X%1.%2 Y%3 E%4 F1800 ; infill")
                                   .arg(i % 200)
                                   .arg(i % 10)
                                   .arg((i * 7) % 200)
                                   .arg(i * 0.01, 0, 'f', 5)));
    }

    kvLogger tLogger;
    tLogger.setLogLevel(Kv::Defines::LoggerLevelAll);
    int tResult = 0;
    for (const bool tLogOn : {false, true}) {
        if (tLogOn) {
            tLogger.create();
            if (!tLogger.isCreated()) {
                std::printf("log not created\n");
                return 1;
            }
        }
        QElapsedTimer tClock;
        tClock.start();
        const double tRate = streamPrint(tLines, tLogOn ? &tLogger : nullptr);
        if (tRate <= 0.0) {
            return 1;
        }
        const double tMinimum = tLogOn ? 5000.0 : 10000.0;
        std::printf("printer link, log %s: %.0f lines/s (at least %.0f)\n", tLogOn ? "on" : "off",
            tRate, tMinimum);
        KvBench::report(tLogOn ? "printer link, log on" : "printer link, log off", tCount / tRate,
            tCount, "lines");
        if (tRate < tMinimum) {
            tResult = 1;
        }
    }
    return tResult;
}
