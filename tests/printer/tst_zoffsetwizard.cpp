#include "kvDialogRecorder.h"
#include "kvLogger.h"
#include "kvPlatform.h"
#include "kvPrinterTestRig.h"
#include "kvPrinterZOffsetCalibration.h"
#include "kvTestSupport.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

// The eleven choices of the wizard, left to right.
const QStringList ChoiceNames {"newZOffsetValueNeg05", "newZOffsetValueNeg04",
    "newZOffsetValueNeg03", "newZOffsetValueNeg02", "newZOffsetValueNeg01", "newZOffsetCurrent",
    "newZOffsetValuePos01", "newZOffsetValuePos02", "newZOffsetValuePos03", "newZOffsetValuePos04",
    "newZOffsetValuePos05"};

template <typename T> T *child(QWidget *pWindow, const QString &pName)
{
    T *tChild = pWindow->findChild<T *>(pName);
    if (!tChild) {
        qFatal("no child %s", qPrintable(pName));
    }
    return tChild;
}

QStringList labels(QWidget *pWizard)
{
    QStringList tTexts;
    for (const QString &tName : ChoiceNames) {
        tTexts << child<QLabel>(pWizard, tName + QStringLiteral("Label"))->text();
    }
    return tTexts;
}

// The run button, answered Yes; returns once the firmware's offset has reached the wizard.
bool runCalibration(kvPrinterTestRig &pRig, KvTest::DialogRecorder &pDialogs)
{
    pRig.printer->showZCalibration();
    kvPrinterZOffsetCalibration *tWizard = pRig.printer->zOffsetCalibration();
    pDialogs.answers << true;
    QTest::mouseClick(
        child<QPushButton>(tWizard, QStringLiteral("runCalibrationTestButton")), Qt::LeftButton);
    return pRig.firmware.waitFor([&] { return !pRig.printer->isAwaitingZOffset(); });
}

// The bed is probed during the calibration; its readings reach the wizard.
bool probe(kvPrinterTestRig &pRig)
{
    pRig.printer->sendCommandToPrinter(QStringLiteral("G29"));
    return pRig.firmware.waitFor([&] { return !pRig.printer->isCalibrationRunning(); });
}

} // namespace

// The Z-offset wizard with its printer: the offsets it offers and the one it stores.
class tst_zoffsetwizard : public QObject
{
    Q_OBJECT

private slots:
    void labelsAndStoredOffset_data();
    void labelsAndStoredOffset();
    void probeConversation();
    void calibrationPrintIsLogged();
    void calibrationPrintIsSentAsItsFileHoldsIt();
};

void tst_zoffsetwizard::labelsAndStoredOffset_data()
{
    QTest::addColumn<double>("current");
    QTest::addColumn<QStringList>("labels");
    QTest::addColumn<int>("choice");
    QTest::addColumn<double>("stored");

    QTest::newRow("-0.25, one line lower")
        << -0.25
        << QStringList {"-0.75", "-0.65", "-0.55", "-0.45", "-0.35", "-0.25", "-0.15", "-0.05",
               "0.05", "0.15", "0.25"}
        << 4 << -0.35;
    QTest::newRow("-1.2, the rightmost line")
        << -1.2
        << QStringList {"-1.70", "-1.60", "-1.50", "-1.40", "-1.30", "-1.20", "-1.10", "-1.00",
               "-0.90", "-0.80", "-0.70"}
        << 10 << -0.7;
    QTest::newRow("0.3, two lines higher") << 0.3
                                           << QStringList {"-0.20", "-0.10", "0.00", "0.10", "0.20",
                                                  "0.30", "0.40", "0.50", "0.60", "0.70", "0.80"}
                                           << 7 << 0.5;
    QTest::newRow("-0.25, the current line")
        << -0.25
        << QStringList {"-0.75", "-0.65", "-0.55", "-0.45", "-0.35", "-0.25", "-0.15", "-0.05",
               "0.05", "0.15", "0.25"}
        << 5 << -0.25;
}

void tst_zoffsetwizard::labelsAndStoredOffset()
{
    QFETCH(double, current);
    QFETCH(QStringList, labels);
    QFETCH(int, choice);
    QFETCH(double, stored);

    KvTest::DialogRecorder tDialogs;
    kvPrinterTestRig tRig;
    QVERIFY(tRig.connect(QStringLiteral("Halvarn_Tovra")));
    tRig.firmware.setZOffset(current);
    QVERIFY(runCalibration(tRig, tDialogs));
    kvPrinterZOffsetCalibration *tWizard = tRig.printer->zOffsetCalibration();
    QCOMPARE(::labels(tWizard), labels);

    // The test print is probed and stopped; the choices open.
    QVERIFY(probe(tRig));
    tRig.printer->killPrint();
    auto *tChoice = child<QCheckBox>(tWizard, ChoiceNames.at(choice));
    QVERIFY(tChoice->isEnabled());

    const int tFrom = tRig.firmware.lineCount();
    tDialogs.answers << true;
    QTest::mouseClick(tChoice, Qt::LeftButton);
    QCOMPARE(tDialogs.requests.size(), 2);
    QCOMPARE(tDialogs.requests.last().title, QStringLiteral("Set Z-Offset"));
    QVERIFY(tRig.firmware.waitForLine(QStringLiteral("M500"), 3000, tFrom));
    QCOMPARE(tRig.firmware.zOffset(), stored);
    // The form is cleared for the next run.
    QVERIFY(!tChoice->isChecked());
    QVERIFY(!tChoice->isEnabled());
}

void tst_zoffsetwizard::probeConversation()
{
    KvTest::DialogRecorder tDialogs;
    kvPrinterTestRig tRig;
    QVERIFY(tRig.connect(QStringLiteral("Halvarn_Tovra")));
    // Points whose X and Y differ, so that no list can stand for another.
    tRig.firmware.setProbePoints(
        {QVector3D(10, 130, 0), QVector3D(60, 170, 0), QVector3D(110, 20, 0)});
    tRig.firmware.setEquationCoefficients(0.001, -0.0005, 0.2);
    QVERIFY(runCalibration(tRig, tDialogs));
    QVERIFY(probe(tRig));

    kvPrinterZOffsetCalibration *tWizard = tRig.printer->zOffsetCalibration();
    QCOMPARE(tWizard->probeValues(0), (QStringList {"10.000", "60.000", "110.000"}));
    QCOMPARE(tWizard->probeValues(1), (QStringList {"130.000", "170.000", "20.000"}));
    // z = d + a x + b y
    QCOMPARE(tWizard->probeValues(2), (QStringList {"0.145", "0.175", "0.300"}));
    QCOMPARE(child<QLineEdit>(tWizard, QStringLiteral("eqnCoATextBox"))->text(),
        QStringLiteral("0.00100000"));
    QCOMPARE(child<QLineEdit>(tWizard, QStringLiteral("eqnCoBTextBox"))->text(),
        QStringLiteral("-0.00050000"));
    QCOMPARE(child<QLineEdit>(tWizard, QStringLiteral("eqnCoDTextBox"))->text(),
        QStringLiteral("0.20000000"));
}

// The calibration print is the printer's own file: its own lines reach the print log as
// those of every print file do.
void tst_zoffsetwizard::calibrationPrintIsLogged()
{
    QVERIFY(QDir().mkpath(Kv::Platform::appDataLocation()));
    kvLogger tLogger;
    tLogger.setLogLevel(Kv::Defines::LoggerLevelAll);
    tLogger.create();
    QVERIFY(tLogger.isCreated());
    KvTest::DialogRecorder tDialogs;
    kvPrinterTestRig tRig;
    QVERIFY(tRig.open());
    tRig.printer->setLogger(&tLogger);
    QVERIFY(tRig.connect(QStringLiteral("Halvarn_Tovra")));
    QVERIFY(runCalibration(tRig, tDialogs));
    const QByteArray tLog
        = KvTest::readFile(Kv::Platform::appDataLocation() + QLatin1Char('/') + tLogger.fileName());
    // Lines of the file's own, not only those the printer relays.
    QVERIFY(tLog.contains("] kvPrinterFile::loadFile: start"));
    QVERIFY(tLog.contains("] kvPrinterFile::parseGCode: End parse gcode"));
}

// The calibration print goes out as its file holds it: each of its lines in order, a heating
// line as any other, and nothing after its last one, where the print of a part gets its
// closing lines.
void tst_zoffsetwizard::calibrationPrintIsSentAsItsFileHoldsIt()
{
    KvTest::DialogRecorder tDialogs;
    kvPrinterTestRig tRig;
    QVERIFY(tRig.connect(QStringLiteral("Halvarn_Tovra")));
    const int tFrom = tRig.firmware.lineCount();
    QVERIFY(runCalibration(tRig, tDialogs));
    // The simulated heaters reach their targets at once; one check starts the stream.
    QVERIFY(tRig.firmware.waitFor([&] { return tRig.printer->isWaitingToPrint(); }));
    QVERIFY(tRig.firmware.waitFor([&] { return tRig.firmware.target(0) > 0.0; }));
    QMetaObject::invokeMethod(tRig.printer, "onCheckHeatTimerTick", Q_ARG(bool, true));
    QVERIFY(tRig.waitForPrintEnd(60000));

    QStringList tFileLines;
    const QList<QByteArray> tText
        = KvTest::readFile(QStringLiteral(":/ZOffsetCalibration.gcode")).split('\n');
    for (const QByteArray &tLine : tText) {
        const QString tCommand = QString::fromLatin1(tLine).trimmed();
        if (!tCommand.isEmpty() && !tCommand.startsWith(QLatin1Char(';')))
            tFileLines << tCommand;
    }
    QVERIFY(tFileLines.size() > 100);
    const QStringList tSent = tRig.sentFrom(tFrom);
    const int tBegin = tSent.indexOf(QStringLiteral("M114")) + 1;
    QVERIFY(tBegin > 0);
    QCOMPARE(tSent.mid(tBegin, tFileLines.size()), tFileLines);
    // Its last line is the last of the print: the heaters go off right after it.
    QCOMPARE(tSent.mid(tBegin + tFileLines.size(), 2).join(QStringLiteral(", ")),
        QStringLiteral("M104 S0 T0, M140 S0"));
}

KV_TEST_MAIN(tst_zoffsetwizard)
#include "tst_zoffsetwizard.moc"
