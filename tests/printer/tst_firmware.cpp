#include "kvTestSupport.h"

#include "kvFirmware.h"

#include <QSignalSpy>

namespace {

const QString MarlinReply = QStringLiteral(
    "FIRMWARE_NAME:Marlin V1; Sprinter/grbl mashup for gen6 "
    "FIRMWARE_URL:https://github.com/MarlinFirmware/Marlin PROTOCOL_VERSION:1.0 "
    "MACHINE_TYPE:Halvarn_Tovra EXTRUDER_COUNT:1 UUID:a3b4c5d6-1111-2222-3333-444455556666\nok\n");

} // namespace

class tst_Firmware : public QObject
{
    Q_OBJECT

private slots:
    void startValues()
    {
        const kvFirmware tFirmware;
        QVERIFY(tFirmware.Name().isEmpty());
        QVERIFY(tFirmware.Url().isEmpty());
        QVERIFY(tFirmware.ProtocolVersion().isEmpty());
        QVERIFY(tFirmware.MachineType().isEmpty());
        QCOMPARE(tFirmware.ExtruderCount(), 1.0f);
        QVERIFY(tFirmware.UUID().isEmpty());
        QVERIFY(tFirmware.Version().isEmpty());
    }

    void cleanFirmwareString_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("clean");

        QTest::newRow("two words before the next key")
            << "Marlin V1 FIRMWARE_URL:http://x PROTOCOL_VERSION:1.0"
            << "Marlin V1";
        QTest::newRow("double blank kept inside, ends trimmed") << "  a  b  "
                                                                << "a  b";
        QTest::newRow("key inside a longer word") << "Halvarn xUUIDx more"
                                                  << "Halvarn";
        QTest::newRow("first word is a key") << "UUID:1 two"
                                             << "";
        QTest::newRow("key glued to the value") << "1.0MACHINE_TYPE:x"
                                                << "";
        QTest::newRow("key case respected") << "uuid machine_type"
                                            << "uuid machine_type";
        QTest::newRow("cut at REPETIER_PROTOCOL") << "1 REPETIER_PROTOCOL:2"
                                                  << "1";
        QTest::newRow("cut at FIRMWARE_VERSION") << "Mendel FIRMWARE_VERSION:0.92"
                                                 << "Mendel";
        QTest::newRow("last value with ok") << "a3b4\nok\n"
                                            << "a3b4";
        QTest::newRow("last value with CR-LF and ok") << "a3b4\r\nok\r\n"
                                                      << "a3b4";
        QTest::newRow("inner line feeds dropped") << "a\nb c\n"
                                                  << "ab c";
        QTest::newRow("ok without line feed stays") << "1 ok"
                                                    << "1 ok";
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("blanks only") << "   "
                                     << "";
    }

    void cleanFirmwareString()
    {
        QFETCH(QString, value);
        QTEST(kvFirmware::cleanFirmwareString(value), "clean");
    }

    void parseReply_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("protocol");
        QTest::addColumn<QString>("machine");
        QTest::addColumn<float>("extruders");
        QTest::addColumn<QString>("uuid");
        QTest::addColumn<QString>("version");

        // Each reply is read after MarlinReply; a field the reply lacks keeps its value.
        const QString tName = QStringLiteral("Marlin V1; Sprinter/grbl mashup for gen6");
        const QString tUrl = QStringLiteral("https://github.com/MarlinFirmware/Marlin");
        const QString tUuid = QStringLiteral("a3b4c5d6-1111-2222-3333-444455556666");

        QTest::newRow("marlin") << MarlinReply << tName << tUrl << "1.0"
                                << "Halvarn_Tovra" << 1.0f << tUuid << "";
        QTest::newRow("marlin, CR-LF")
            << QString(MarlinReply).replace(QLatin1String("\n"), QLatin1String("\r\n")) << tName
            << tUrl << "1.0"
            << "Halvarn_Tovra" << 1.0f << tUuid << "";
        QTest::newRow("two extruders, last key")
            << "FIRMWARE_NAME:Marlin FIRMWARE_URL:u PROTOCOL_VERSION:1.0 "
               "MACHINE_TYPE:Halvarn_Belquist UUID:x EXTRUDER_COUNT:2\nok\n"
            << "Marlin"
            << "u"
            << "1.0"
            << "Halvarn_Belquist" << 2.0f << "x"
            << "";
        QTest::newRow("repetier")
            << "FIRMWARE_NAME:Repetier_0.92.9 FIRMWARE_URL:https://github.com/repetier/"
               "Repetier-Firmware/ PROTOCOL_VERSION:1.0 MACHINE_TYPE:Mendel EXTRUDER_COUNT:1 "
               "REPETIER_PROTOCOL:3\nok\n"
            << "Repetier_0.92.9"
            << "https://github.com/repetier/Repetier-Firmware/"
            << "1.0"
            << "Mendel" << 1.0f << tUuid << "";
        // A value ends at the next blank followed by an upper-case key and ":", or at its
        // line end, whatever keys the firmware adds.
        QTest::newRow("marlin 2, more keys and capabilities")
            << "FIRMWARE_NAME:Marlin 2.1.2.1 (Jun 13 2023 18:54:04) SOURCE_CODE_URL:github.com/"
               "MarlinFirmware/Marlin PROTOCOL_VERSION:1.0 MACHINE_TYPE:Halvarn_8x8 "
               "EXTRUDER_COUNT:2 TEMP_SENSOR_COUNT:2 HEATER_COUNT:2 "
               "UUID:cede2a2f-41a2-4748-9b12-c55c62f367ff\n"
               "Cap:SERIAL_XON_XOFF:0\nCap:EEPROM:1\nok\n"
            << "Marlin 2.1.2.1 (Jun 13 2023 18:54:04)" << tUrl << "1.0"
            << "Halvarn_8x8" << 2.0f << "cede2a2f-41a2-4748-9b12-c55c62f367ff"
            << "";
        QTest::newRow("repetier, compile date and bed key")
            << "FIRMWARE_NAME:Repetier_1.0.4 COMPILED:Jan 24 2021 FIRMWARE_URL:https://github.com/"
               "repetier/Repetier-Firmware/ PROTOCOL_VERSION:1.0 MACHINE_TYPE:Mendel "
               "EXTRUDER_COUNT:2 HEATED_BED:1 REPETIER_PROTOCOL:3\nok\n"
            << "Repetier_1.0.4"
            << "https://github.com/repetier/Repetier-Firmware/"
            << "1.0"
            << "Mendel" << 2.0f << tUuid << "";
        QTest::newRow("prusa, CR-LF and a capability line")
            << "FIRMWARE_NAME:Prusa-Firmware 3.13.2 based on Marlin FIRMWARE_URL:https://"
               "github.com/prusa3d/Prusa-Firmware PROTOCOL_VERSION:1.0 MACHINE_TYPE:Prusa i3 MK3S "
               "EXTRUDER_COUNT:1 UUID:00000000-0000-0000-0000-000000000000\r\n"
               "Cap:AUTOREPORT_TEMP:1\r\nok\r\n"
            << "Prusa-Firmware 3.13.2 based on Marlin"
            << "https://github.com/prusa3d/Prusa-Firmware"
            << "1.0"
            << "Prusa i3 MK3S" << 1.0f << "00000000-0000-0000-0000-000000000000"
            << "";
        QTest::newRow("firmware version")
            << "FIRMWARE_NAME:Sprinter FIRMWARE_VERSION:2.1 MACHINE_TYPE:Halvarn_6x6"
            << "Sprinter" << tUrl << "1.0"
            << "Halvarn_6x6" << 1.0f << tUuid << "2.1";
        QTest::newRow("only the name") << "FIRMWARE_NAME:Other\nok\n"
                                       << "Other" << tUrl << "1.0"
                                       << "Halvarn_Tovra" << 1.0f << tUuid << "";
        QTest::newRow("echo line before the keys")
            << "echo:start\nFIRMWARE_NAME:M MACHINE_TYPE:Halvarn_8x8 EXTRUDER_COUNT:0"
            << "M" << tUrl << "1.0"
            << "Halvarn_8x8" << 0.0f << tUuid << "";
        QTest::newRow("key at the very end") << "FIRMWARE_NAME:M MACHINE_TYPE"
                                             << "M" << tUrl << "1.0"
                                             << "" << 1.0f << tUuid << "";
        QTest::newRow("empty values")
            << "FIRMWARE_NAME: FIRMWARE_URL: MACHINE_TYPE: EXTRUDER_COUNT: UUID:"
            << ""
            << ""
            << "1.0"
            << "" << 1.0f << ""
            << "";
    }

    void parseReply()
    {
        QFETCH(QString, reply);

        kvFirmware tFirmware;
        tFirmware.parseM115Reply(MarlinReply);
        QSignalSpy tUpdated(&tFirmware, &kvFirmware::Updated);
        QSignalSpy tCount(&tFirmware, &kvFirmware::ExtruderCountUpdated);
        QSignalSpy tType(&tFirmware, &kvFirmware::MachineTypeUpdated);
        tFirmware.parseM115Reply(reply);

        QTEST(tFirmware.Name(), "name");
        QTEST(tFirmware.Url(), "url");
        QTEST(tFirmware.ProtocolVersion(), "protocol");
        QTEST(tFirmware.MachineType(), "machine");
        QTEST(tFirmware.ExtruderCount(), "extruders");
        QTEST(tFirmware.UUID(), "uuid");
        QTEST(tFirmware.Version(), "version");
        QCOMPARE(tUpdated.count() + tCount.count() + tType.count(), 0);
    }

    void extruderCount_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<float>("count");

        // The count starts at 3 in each row; rejected values leave it there.
        QTest::newRow("two") << "2 UUID:x" << 2.0f;
        QTest::newRow("zero") << "0" << 0.0f;
        QTest::newRow("sixteen") << "16" << 16.0f;
        QTest::newRow("fraction kept") << "1.5" << 1.5f;
        QTest::newRow("blanks around") << "  4  UUID:x" << 4.0f;
        QTest::newRow("last value with ok") << "2\nok\n" << 2.0f;
        QTest::newRow("last value with CR-LF ok") << "2\r\nok\r\n" << 2.0f;
        QTest::newRow("seventeen") << "17" << 3.0f;
        QTest::newRow("negative") << "-1" << 3.0f;
        QTest::newRow("huge") << "1e9" << 3.0f;
        QTest::newRow("overflow") << "1e60" << 3.0f;
        QTest::newRow("nan") << "nan" << 3.0f;
        QTest::newRow("infinity") << "inf" << 3.0f;
        QTest::newRow("text") << "two" << 3.0f;
        QTest::newRow("comma") << "1,0" << 3.0f;
        QTest::newRow("empty") << "" << 3.0f;
        QTest::newRow("cut at once") << "UUID:2" << 3.0f;
    }

    void extruderCount()
    {
        QFETCH(QString, value);

        kvFirmware tFirmware;
        tFirmware.setExtruderCount(QStringLiteral("3"));
        tFirmware.setExtruderCount(value);
        QTEST(tFirmware.ExtruderCount(), "count");
    }

    void missingCountKeepsTheDefault()
    {
        kvFirmware tFirmware;
        tFirmware.parseM115Reply(
            QStringLiteral("FIRMWARE_NAME:Old MACHINE_TYPE:Halvarn_6x6\nok\n"));
        QCOMPARE(tFirmware.ExtruderCount(), 1.0f);
        QCOMPARE(tFirmware.MachineType(), QStringLiteral("Halvarn_6x6"));
    }

    void settersClean()
    {
        kvFirmware tFirmware;
        tFirmware.setName(QStringLiteral("Marlin V1 FIRMWARE_URL:x"));
        tFirmware.setUrl(QStringLiteral("u PROTOCOL_VERSION:1"));
        tFirmware.setProtocolVersion(QStringLiteral("1.0 MACHINE_TYPE:x"));
        tFirmware.setMachineType(QStringLiteral("Halvarn_Tovra EXTRUDER_COUNT:1"));
        tFirmware.setUUID(QStringLiteral("id\nok\n"));
        tFirmware.setVersion(QStringLiteral(" 2.1 REPETIER_PROTOCOL:2"));
        QCOMPARE(tFirmware.Name(), QStringLiteral("Marlin V1"));
        QCOMPARE(tFirmware.Url(), QStringLiteral("u"));
        QCOMPARE(tFirmware.ProtocolVersion(), QStringLiteral("1.0"));
        QCOMPARE(tFirmware.MachineType(), QStringLiteral("Halvarn_Tovra"));
        QCOMPARE(tFirmware.UUID(), QStringLiteral("id"));
        QCOMPARE(tFirmware.Version(), QStringLiteral("2.1"));
    }

    void assignment()
    {
        kvFirmware tSource;
        tSource.parseM115Reply(MarlinReply);
        tSource.setExtruderCount(QStringLiteral("1.234567"));
        tSource.setVersion(QStringLiteral("9"));

        kvFirmware tTarget;
        tTarget.setVersion(QStringLiteral("1"));
        tTarget = tSource;
        QCOMPARE(tTarget.Name(), tSource.Name());
        QCOMPARE(tTarget.Url(), tSource.Url());
        QCOMPARE(tTarget.ProtocolVersion(), tSource.ProtocolVersion());
        QCOMPARE(tTarget.MachineType(), tSource.MachineType());
        QCOMPARE(tTarget.UUID(), tSource.UUID());
        QCOMPARE(tTarget.ExtruderCount(), 1.23457f);
        QCOMPARE(tTarget.Version(), QStringLiteral("1"));

        kvFirmware &tSame = tTarget;
        tTarget = tSame;
        QCOMPARE(tTarget.MachineType(), QStringLiteral("Halvarn_Tovra"));
    }
};

KV_TEST_MAIN(tst_Firmware)
#include "tst_firmware.moc"
