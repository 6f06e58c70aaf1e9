// What the lines of several firmwares say about the print: what acts on it, and what only
// looks as if it did.
#include "kvFirmwareLines.h"

#include <QtTest>

using Kv::FirmwareLines::Meaning;
using Kv::FirmwareLines::Scope;

Q_DECLARE_METATYPE(Meaning)
Q_DECLARE_METATYPE(Scope)

class tst_firmwarelines : public QObject
{
    Q_OBJECT

private slots:
    void meaningOf_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<Meaning>("meaning");
        QTest::addColumn<Scope>("scope");

        const Scope tAlways = Scope::Always;
        // The Tovra's buttons act whatever the printer does; a firmware's screen acts on a
        // print under way only.
        QTest::newRow("Tovra cancel") << "HVT101" << Meaning::Cancel << tAlways;
        QTest::newRow("Tovra pause, line end") << "HVT102\r" << Meaning::Pause << tAlways;
        QTest::newRow("Marlin 2 cancel") << "//action:cancel" << Meaning::Cancel << Scope::UnderWay;
        QTest::newRow("Klipper macro cancel")
            << "// action:cancel" << Meaning::Cancel << Scope::UnderWay;
        QTest::newRow("macro cancel with words after it")
            << "//action:cancel now" << Meaning::Cancel << Scope::UnderWay;
        QTest::newRow("Marlin 2 pause") << "//action:pause" << Meaning::Pause << Scope::UnderWay;
        QTest::newRow("Marlin 2 paused (M600)")
            << "//action:paused" << Meaning::Pause << Scope::UnderWay;
        QTest::newRow("Marlin 2 resume")
            << "//action:resume\r" << Meaning::Resume << Scope::UnderWay;
        QTest::newRow("Marlin 2 resumed")
            << "//action:resumed" << Meaning::Resume << Scope::UnderWay;
        QTest::newRow("notification naming a cancel")
            << "//action:notification Print cancelled" << Meaning::Nothing << tAlways;
        QTest::newRow("prompt naming a pause")
            << "//action:prompt_begin Paused" << Meaning::Nothing << tAlways;
        QTest::newRow("another action") << "//action:probe_failed" << Meaning::Nothing << tAlways;
        QTest::newRow("a word that only begins as one")
            << "//action:cancelled" << Meaning::Nothing << tAlways;
        // A board's greeting, alone or right after a line its reset cut short.
        QTest::newRow("restart") << "start" << Meaning::Restart << tAlways;
        QTest::newRow("restart with blanks") << "  start\r" << Meaning::Restart << tAlways;
        QTest::newRow("restart after a cut line")
            << "echo:busy: procstart" << Meaning::Restart << tAlways;
        QTest::newRow("restart after a cut ok") << "ok T:2start" << Meaning::Restart << tAlways;
        QTest::newRow("restart after a junk byte") << "~start" << Meaning::Restart << tAlways;
        QTest::newRow("restart after a cut position")
            << "X:10.00 Y:0start" << Meaning::Restart << tAlways;
        QTest::newRow("echo of a start") << "echo:start" << Meaning::Nothing << tAlways;
        QTest::newRow("the word on a screen's line")
            << "echo:Press to start" << Meaning::Nothing << tAlways;
        QTest::newRow("a restart named")
            << "echo:Fix the error and use M999 to restart" << Meaning::Nothing << tAlways;
        QTest::newRow("a restart named, upper case")
            << "// Use the FIRMWARE_RESTART command" << Meaning::Nothing << tAlways;
        QTest::newRow("a word that holds it") << "echo:started" << Meaning::Nothing << tAlways;
        // Halts act whatever the printer does; a refusal only on the print's own line.
        QTest::newRow("Marlin kill()")
            << "Error:Printer halted. kill() called!" << Meaning::Halt << tAlways;
        QTest::newRow("Marlin 1.x stopped")
            << "Error:Printer stopped due to errors. Fix the error and use M999 to restart. "
               "(Temperature is reset. Set it after restarting)"
            << Meaning::Halt << tAlways;
        QTest::newRow("Marlin 1.x stopped, cut after the word")
            << "Error:Printer stopped due to errors. Fix the error and use M999 to restart"
            << Meaning::Halt << tAlways;
        QTest::newRow("Klipper shutdown") << "!! Shutdown due to M112" << Meaning::Halt << tAlways;
        QTest::newRow("Klipper MCU shutdown")
            << "!! MCU 'mcu' shutdown: Timer too close" << Meaning::Halt << tAlways;
        QTest::newRow("Klipper shut down") << "// Printer is shutdown" << Meaning::Halt << tAlways;
        QTest::newRow("Klipper refusal") << "!! Move out of range: 250.000 100.000 0.300 [10.000]"
                                         << Meaning::Error << Scope::PrintLine;
        QTest::newRow("Marlin error") << "Error:MINTEMP triggered, system stopped! Heater_ID: 0"
                                      << Meaning::Error << Scope::PrintLine;
        QTest::newRow("Marlin unknown command")
            << "echo:Unknown command: \"M101\"" << Meaning::Nothing << tAlways;
        QTest::newRow("Marlin keeping the host waiting")
            << "echo:busy: processing" << Meaning::Nothing << tAlways;
        QTest::newRow("Klipper state") << "// Klipper state: Ready" << Meaning::Nothing << tAlways;
        QTest::newRow("a report") << "ok T:210.0 /215.0 B:60.0 /60.0 @:127 B@:127"
                                  << Meaning::Nothing << tAlways;
        QTest::newRow("a shutdown named in no error")
            << "echo:shutdown pin set" << Meaning::Nothing << tAlways;
        // Lines that answer no line: Repetier's idle "wait", and what noise leaves.
        QTest::newRow("Repetier idle") << "wait" << Meaning::Waiting << tAlways;
        QTest::newRow("Repetier idle, CR LF") << "wait\r" << Meaning::Waiting << tAlways;
        QTest::newRow("a word that begins as it") << "waiting" << Meaning::Nothing << tAlways;
        QTest::newRow("blank") << " \r" << Meaning::Blank << tAlways;
    }
    void meaningOf()
    {
        QFETCH(QString, line);
        QFETCH(Meaning, meaning);
        QFETCH(Scope, scope);
        const Kv::FirmwareLines::Rule tRule = Kv::FirmwareLines::ruleOf(line);
        QCOMPARE(tRule.meaning, meaning);
        QCOMPARE(tRule.scope, scope);
        QCOMPARE(Kv::FirmwareLines::meaningOf(line), meaning);
    }
};

QTEST_APPLESS_MAIN(tst_firmwarelines)
#include "tst_firmwarelines.moc"
