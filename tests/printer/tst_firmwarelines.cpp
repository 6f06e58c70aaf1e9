// What the lines of several firmwares say about the print: what acts on it, and what only
// looks as if it did.
#include "kvFirmwareLines.h"

#include <QtTest>

using Kv::FirmwareLines::Meaning;

Q_DECLARE_METATYPE(Meaning)

class tst_firmwarelines : public QObject
{
    Q_OBJECT

private slots:
    void meaningOf_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<Meaning>("meaning");

        QTest::newRow("Tovra cancel") << "HVT101" << Meaning::Cancel;
        QTest::newRow("Tovra pause, line end") << "HVT102\r" << Meaning::Pause;
        QTest::newRow("Marlin 2 cancel") << "//action:cancel" << Meaning::Cancel;
        QTest::newRow("Klipper macro cancel") << "// action:cancel" << Meaning::Cancel;
        QTest::newRow("Marlin 2 pause") << "//action:pause" << Meaning::Pause;
        QTest::newRow("Marlin 2 paused (M600)") << "//action:paused" << Meaning::Pause;
        QTest::newRow("Marlin 2 resume") << "//action:resume\r" << Meaning::Resume;
        QTest::newRow("Marlin 2 resumed") << "//action:resumed" << Meaning::Resume;
        QTest::newRow("notification naming a cancel")
            << "//action:notification Print cancelled" << Meaning::Nothing;
        QTest::newRow("prompt naming a pause")
            << "//action:prompt_begin Paused" << Meaning::Nothing;
        QTest::newRow("another action") << "//action:probe_failed" << Meaning::Nothing;
        QTest::newRow("a word that only begins as one") << "//action:cancelled" << Meaning::Nothing;
        QTest::newRow("restart") << "start" << Meaning::Restart;
        QTest::newRow("restart with blanks") << "  start\r" << Meaning::Restart;
        QTest::newRow("echo of a start") << "echo:start" << Meaning::Nothing;
        QTest::newRow("Marlin kill()") << "Error:Printer halted. kill() called!" << Meaning::Halt;
        QTest::newRow("Marlin 1.x stopped")
            << "Error:Printer stopped due to errors. Fix the error and use M999 to restart. "
               "(Temperature is reset. Set it after restarting)"
            << Meaning::Halt;
        QTest::newRow("Klipper shutdown") << "!! Shutdown due to M112" << Meaning::Halt;
        QTest::newRow("Klipper MCU shutdown")
            << "!! MCU 'mcu' shutdown: Timer too close" << Meaning::Halt;
        QTest::newRow("Klipper shut down") << "// Printer is shutdown" << Meaning::Halt;
        QTest::newRow("Klipper refusal")
            << "!! Move out of range: 250.000 100.000 0.300 [10.000]" << Meaning::Error;
        QTest::newRow("Marlin error")
            << "Error:MINTEMP triggered, system stopped! Heater_ID: 0" << Meaning::Error;
        QTest::newRow("Marlin unknown command")
            << "echo:Unknown command: \"M101\"" << Meaning::Nothing;
        QTest::newRow("Marlin keeping the host waiting")
            << "echo:busy: processing" << Meaning::Nothing;
        QTest::newRow("Klipper state") << "// Klipper state: Ready" << Meaning::Nothing;
        QTest::newRow("a report") << "ok T:210.0 /215.0 B:60.0 /60.0 @:127 B@:127"
                                  << Meaning::Nothing;
        QTest::newRow("a shutdown named in no error")
            << "echo:shutdown pin set" << Meaning::Nothing;
    }
    void meaningOf()
    {
        QFETCH(QString, line);
        QFETCH(Meaning, meaning);
        QCOMPARE(Kv::FirmwareLines::meaningOf(line), meaning);
    }
};

QTEST_APPLESS_MAIN(tst_firmwarelines)
#include "tst_firmwarelines.moc"
