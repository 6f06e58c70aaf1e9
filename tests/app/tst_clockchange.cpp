// The computer's clock changed while the program runs (an NTP step, a time-zone mistake, the
// user): the program runs in a child process with the fake clock preloaded, whose time of day
// the test moves while the monotonic clock runs on. The temperature poll, the rule for a lost reply
// and the elapsed time go on as if nothing had happened.
#include "kvFakeFirmware.h"
#include "kvPrinterFile.h"
#include "kvProgramChild.h"

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>

using KvTest::kvProgramChild;

namespace {

// What a child needs to read its time of day, moved by the seconds in pClockFile, at every
// call; its monotonic clock is left alone.
QProcessEnvironment fakeTimeEnvironment(const QString &pClockFile)
{
    QProcessEnvironment tEnvironment;
    tEnvironment.insert(QStringLiteral("LD_PRELOAD"), QStringLiteral(KV_FAKE_CLOCK_LIBRARY));
    tEnvironment.insert(QStringLiteral("KV_FAKE_CLOCK_FILE"), pClockFile);
    return tEnvironment;
}

// The program in a child process on one simulated printer, its time of day read at every
// call from a file the test rewrites; the monotonic clock is left alone.
class kvClockRig
{
public:
    kvClockRig()
        : m_clockFile(dir.filePath(QStringLiteral("clock-offset")))
    {
        firmware = bench.firmwares.front().get();
    }
    ~kvClockRig()
    {
        // Ended as the system ends it, so that the heaters go off.
        if (child.process.state() != QProcess::NotRunning) {
            child.send(SIGTERM);
            child.waitToEnd();
        }
    }

    // Starts the child on the part, printing it or not; true once it has said pUntil.
    bool start(const QString &pPart, bool pPrint, const QByteArray &pUntil)
    {
        if (!shift("0"))
            return false;
        return child.start(bench.links.front(), pPart, pPrint, fakeTimeEnvironment(m_clockFile))
            && child.waitToSay(pUntil);
    }

    // Moves the child's time of day by pOffset seconds ("-3600": an hour back) from the true
    // one; it reads it at its next call.
    bool shift(const char *pOffset)
    {
        return !KvTest::writeFile(m_clockFile, QByteArray(pOffset) + '\n').isEmpty();
    }
    // Shifts by pOffset the moment the firmware receives pLine.
    void shiftOnLine(const QString &pLine, const char *pOffset)
    {
        QObject::connect(firmware, &kvFakeFirmware::LineReceived, firmware,
            [this, pLine, pOffset](const QString &pReceived) {
                if (pReceived == pLine && m_shiftedAt < 0) {
                    shift(pOffset);
                    m_shiftedAt = child.lines().size();
                }
            });
    }

    // What the child said after the shift, from the first line that shows its time of day
    // shifted by at least pMinutes (negative: back).
    QStringList saidShifted(int pMinutes) const
    {
        const QStringList tLines = child.lines();
        for (int i = qMax(0, m_shiftedAt); i < tLines.size(); ++i) {
            if (!tLines.at(i).startsWith(QLatin1String("wall ")))
                continue;
            const qint64 tOff
                = tLines.at(i).mid(5).toLongLong() - QDateTime::currentMSecsSinceEpoch();
            if (pMinutes < 0 ? tOff <= pMinutes * 60000LL : tOff >= pMinutes * 60000LL)
                return tLines.mid(i);
        }
        return QStringList();
    }

    QTemporaryDir dir;
    KvTest::kvPortBench bench {{QStringLiteral("Halvarn_8x8")}};
    kvFakeFirmware *firmware = nullptr;
    kvProgramChild child;

private:
    QString m_clockFile;
    int m_shiftedAt = -1;
};

// The helper "load": loads each file named, setting the time of day back an hour as each load
// begins and again as its reader begins, and with KV_FAKE_MONOTONIC_FILE set, the monotonic
// clock forward by the milliseconds KV_LOAD_STEP_MS says at each; says "took " and each length
// the loads report.
int runLoads(const QStringList &pFiles)
{
    const QString tClockFile = qEnvironmentVariable("KV_FAKE_CLOCK_FILE");
    const QString tMonotonicFile = qEnvironmentVariable("KV_FAKE_MONOTONIC_FILE");
    const qint64 tStep = qEnvironmentVariableIntValue("KV_LOAD_STEP_MS");
    qint64 tMoved = 0;
    for (const QString &tPath : pFiles) {
        KvTest::writeFile(tClockFile, "0\n");
        kvPrinterFile tFile(tPath);
        int tHours = 0;
        QObject::connect(&tFile, &kvPrinterFile::StatusUpdate, [&](const QString &pStatus) {
            if (pStatus.contains(QLatin1String("start ["))
                || pStatus.contains(QLatin1String("Begin parse"))) {
                KvTest::writeFile(tClockFile, "-" + QByteArray::number(++tHours * 3600) + "\n");
                if (!tMonotonicFile.isEmpty())
                    KvTest::writeFile(tMonotonicFile, QByteArray::number(tMoved += tStep) + "\n");
            }
            if (pStatus.contains(QLatin1String("Elapsed time")))
                KvTest::say(QStringLiteral("took ") + pStatus);
        });
        const auto tSay = [](float pSeconds) {
            KvTest::say(QStringLiteral("took ") + QString::number(double(pSeconds)));
        };
        QObject::connect(&tFile, &kvPrinterFile::STLParseComplete, tSay);
        QObject::connect(&tFile, &kvPrinterFile::GCodeParseComplete, tSay);
        tFile.loadFile();
        if (tHours != 2)
            return 1;
    }
    return 0;
}

} // namespace

// The GL driver is built without frame pointers: a full unwind lets the leak check see
// its lifetime allocations as the driver's, which the suppressions cover.
extern "C" const char *__asan_default_options()
{
    return "fast_unwind_on_malloc=0";
}

class tst_clockchange : public QObject
{
    Q_OBJECT

private slots:
    void init() { QVERIFY(KvTest::useSourcePrinterTypes()); }

    // The clock set back an hour: the next temperature check goes out on time, idle or
    // printing, and the elapsed time of the print never goes below zero.
    void clockSetBack_data()
    {
        QTest::addColumn<bool>("printing");
        QTest::newRow("idle") << false;
        QTest::newRow("printing") << true;
    }
    void clockSetBack()
    {
        QFETCH(bool, printing);
        kvClockRig tRig;
        tRig.firmware->setReplyDelayMs(10);
        // Idle, right after a check of the poll; printing, mid-stream.
        tRig.shiftOnLine(
            printing ? QStringLiteral("G1 X10 Y10 E100") : QStringLiteral("M105"), "-3600");
        const QString tPart = printing ? KvTest::writeGCode(tRig.dir, 20000)
                                       : KvTest::dataPath(QStringLiteral("few-lines.gcode"));
        QVERIFY(tRig.start(tPart, printing, printing ? "printing" : "ready"));
        QVERIFY(KvTest::waitFor([&] { return !tRig.saidShifted(-50).isEmpty(); }));
        const int tFrom = tRig.firmware->lineCount();
        QVERIFY(tRig.firmware->waitForLine(QStringLiteral("M105"), 20000, tFrom));
        if (!printing)
            return;
        QVERIFY(KvTest::waitFor(
            [&] { return !tRig.saidShifted(-50).filter(QStringLiteral("elapsed ")).isEmpty(); }));
        const QStringList tElapsed = tRig.child.lines().filter(QStringLiteral("elapsed "));
        for (const QString &tLine : tElapsed)
            QVERIFY2(!tLine.contains(QLatin1Char('-')), qPrintable(tLine));
    }

    // The clock set forward an hour while a move is under way: the firmware's "ok" is waited
    // for as long as ever (the next line does not go out before it, the printer is not said to
    // have kept silent for 30 seconds), and the elapsed time does not jump an hour.
    void clockSetForwardDuringAMove()
    {
        kvClockRig tRig;
        tRig.firmware->setReplyDelayMs(10);
        const QString tMove = QStringLiteral("G1 X30 Y10 E20");
        tRig.firmware->setUnansweredPrefix(tMove);
        tRig.shiftOnLine(tMove, "3600");
        QVERIFY(tRig.start(KvTest::writeGCode(tRig.dir, 2000), true, "printing"));
        QVERIFY(tRig.firmware->waitForLine(tMove, 20000));
        const int tStalled = tRig.firmware->lineCount();
        // The response watchdog meets the silence: it reports it or gives up on the "ok".
        QVERIFY(KvTest::waitFor([&] {
            return tRig.firmware->lineCount() > tStalled
                || tRig.child.said.contains("status Waiting for the printer to answer...");
        }));
        QCOMPARE(tRig.firmware->lineCount(), tStalled);
        QVERIFY2(!tRig.saidShifted(50).filter(QStringLiteral("status Waiting")).isEmpty(),
            "the watchdog did not meet the shifted clock");
        QVERIFY(!tRig.child.said.contains("did not answer"));
        const QStringList tElapsed = tRig.child.lines().filter(QStringLiteral("elapsed "));
        QVERIFY(!tElapsed.isEmpty());
        static const QRegularExpression tUnderAMinute(QStringLiteral("00:00:\\d\\d$"));
        QVERIFY2(tElapsed.last().contains(tUnderAMinute), qPrintable(tElapsed.last()));
    }

    // The clock set back while a file loads: the length of the load is no negative time.
    void clockSetBackDuringALoad()
    {
        QTemporaryDir tDir;
        const QStringList tTook = loadLengths(tDir, 0);
        // Each file: the reader's end, its signal and the load's end.
        QCOMPARE(tTook.size(), 3 * m_loadedFiles.size());
        for (const QString &tLength : tTook) {
            bool tNumber = false;
            const double tValue = tLength.toDouble(&tNumber);
            QVERIFY2(tNumber && tValue >= 0.0 && tValue < 60.0, qPrintable(tLength));
        }
    }

    // A load's length is said in whole seconds. Each step of a load, its start and its
    // reader's start, moves the monotonic clock on by `step` milliseconds: the reader takes
    // one step, the whole load two.
    void loadLengthInWholeSeconds_data()
    {
        QTest::addColumn<int>("step");
        QTest::addColumn<int>("reader");
        QTest::addColumn<int>("load");
        QTest::newRow("a load of 50 ms") << 25 << 0 << 0;
        QTest::newRow("a load of 2.4 s") << 1200 << 1 << 2;
    }
    void loadLengthInWholeSeconds()
    {
        QFETCH(int, step);
        QFETCH(int, reader);
        QFETCH(int, load);
        QTemporaryDir tDir;
        QStringList tExpected;
        for (int i = 0; i < m_loadedFiles.size(); ++i)
            tExpected << QString::number(reader) << QString::number(reader)
                      << QString::number(load);
        QCOMPARE(loadLengths(tDir, step), tExpected);
    }

private:
    const QStringList m_loadedFiles {KvTest::dataPath(QStringLiteral("cube-ascii.stl")),
        KvTest::dataPath(QStringLiteral("cube-binary.stl")),
        KvTest::dataPath(QStringLiteral("few-lines.gcode"))};

    // The lengths the helper "load" reports for m_loadedFiles, in order: for each file its
    // reader's end, its signal and the load's end. pStepMs > 0 moves the monotonic clock too.
    QStringList loadLengths(const QTemporaryDir &pDir, int pStepMs)
    {
        const QString tClockFile = pDir.filePath(QStringLiteral("clock-offset"));
        if (KvTest::writeFile(tClockFile, "0\n").isEmpty())
            return QStringList();
        QProcess tChild;
        QProcessEnvironment tEnvironment = QProcessEnvironment::systemEnvironment();
        tEnvironment.insert(fakeTimeEnvironment(tClockFile));
        tEnvironment.insert(QStringLiteral("KV_TEST_HELPER"), QStringLiteral("load"));
        if (pStepMs > 0) {
            const QString tMonotonicFile = pDir.filePath(QStringLiteral("monotonic-offset"));
            if (KvTest::writeFile(tMonotonicFile, "0\n").isEmpty())
                return QStringList();
            tEnvironment.insert(QStringLiteral("KV_FAKE_MONOTONIC_FILE"), tMonotonicFile);
            tEnvironment.insert(QStringLiteral("KV_LOAD_STEP_MS"), QString::number(pStepMs));
        }
        tChild.setProcessEnvironment(tEnvironment);
        tChild.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        tChild.start(QCoreApplication::applicationFilePath(), m_loadedFiles);
        if (!tChild.waitForFinished(60000) || tChild.exitCode() != 0) {
            qWarning("the load helper failed");
            return QStringList();
        }
        static const QRegularExpression tSeconds(
            QStringLiteral("took .*?(-?[0-9.]+)( seconds\\.)?$"));
        QStringList tLengths;
        const QStringList tLines = QString::fromUtf8(tChild.readAllStandardOutput())
                                       .split(QLatin1Char('\n'))
                                       .filter(QStringLiteral("took "));
        for (const QString &tLine : tLines) {
            const QRegularExpressionMatch tMatch = tSeconds.match(tLine);
            tLengths << (tMatch.hasMatch() ? tMatch.captured(1) : tLine);
        }
        return tLengths;
    }
};

int main(int argc, char **argv)
{
    if (qEnvironmentVariable("KV_TEST_HELPER") == QLatin1String("load")) {
        QCoreApplication tApp(argc, argv);
        return runLoads(tApp.arguments().mid(1));
    }
    if (qEnvironmentVariableIsSet("KV_TEST_HELPER"))
        return KvTest::runProgram(argc, argv);
    QApplication tApp(argc, argv);
    KvTest::setUpApplication();
    tst_clockchange tTest;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&tTest, argc, argv);
}

#include "tst_clockchange.moc"
