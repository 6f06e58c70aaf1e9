#include "kvTestSupport.h"

#include "kvFirmware.h"
#include "kvPrinter.h"

#include <QTemporaryDir>

namespace {

const QString InstalledTypes = QStringLiteral(KV_SOURCE_DIR "/resources/kvPrinterSettings.ini");

} // namespace

class tst_PrinterTypes : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString writeTypesFile(const QByteArray &pContent)
    {
        return KvTest::writeFile(m_dir, QStringLiteral("kvPrinterSettings.ini"), pContent);
    }

private slots:
    void cleanup() { kvPrinter::clearPrinterTypes(); }

    void startValues()
    {
        const kvPrinterSettings tSettings;
        QVERIFY(tSettings.firmwareName().isEmpty());
        QVERIFY(tSettings.printerName().isEmpty());
        QCOMPARE(tSettings.bedSize(), kvVector3D(0, 0, 0));
        QCOMPARE(int(tSettings.probe()), kvPrinterSettings::NoProbe);
        QVERIFY(tSettings.slic3rPrinterSetting().isEmpty());
        QVERIFY(tSettings.slic3rFilamentSetting().isEmpty());
    }

    void readEntry_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("firmware");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QVector3D>("bed");
        QTest::addColumn<int>("probe");
        QTest::addColumn<QString>("printerProfile");
        QTest::addColumn<QString>("filamentProfile");

        const QByteArray tEntry = "[Halvarn_6x6]\n"
                                  "name=Halvarn 6x6\n"
                                  "bedX=150\n"
                                  "bedY=140.5\n"
                                  "bedZ=130\n"
                                  "probe=2\n"
                                  "slic3r_printer=\"Halvarn 6x6.ini\"\n"
                                  "slic3r_filament=\"Halvarn 1.75mm.ini\"\n";
        const QVector3D tBed(150, 140.5f, 130);

        QTest::newRow("entry") << tEntry << 1 << 0 << "Halvarn_6x6"
                               << "Halvarn 6x6" << tBed << 2 << "Halvarn 6x6.ini"
                               << "Halvarn 1.75mm.ini";
        QTest::newRow("crlf") << QByteArray(tEntry).replace("\n", "\r\n") << 1 << 0 << "Halvarn_6x6"
                              << "Halvarn 6x6" << tBed << 2 << "Halvarn 6x6.ini"
                              << "Halvarn 1.75mm.ini";
        QTest::newRow("no final line end") << tEntry.chopped(1) << 1 << 0 << "Halvarn_6x6"
                                           << "Halvarn 6x6" << tBed << 2 << "Halvarn 6x6.ini"
                                           << "Halvarn 1.75mm.ini";
        QTest::newRow("lines before the first section are ignored")
            << QByteArray("name=Stray\nbedX=9\nbedY=9\nbedZ=9\n# comment\n\n") + tEntry << 1 << 0
            << "Halvarn_6x6"
            << "Halvarn 6x6" << tBed << 2 << "Halvarn 6x6.ini"
            << "Halvarn 1.75mm.ini";
        QTest::newRow("missing bedZ")
            << QByteArray("[A]\nname=A\nbedX=150\nbedY=150\nprobe=1\n"
                          "slic3r_printer=\"p.ini\"\nslic3r_filament=\"f.ini\"\n")
            << 1 << 0 << "A"
            << "A" << QVector3D(0, 0, 0) << 1 << "p.ini"
            << "f.ini";
        QTest::newRow("sizes carry over to the next entry")
            << QByteArray("[A]\nbedX=150\nbedY=160\nbedZ=170\nslic3r_filament=\"f\"\n"
                          "[B]\nbedY=20\nbedZ=30\nslic3r_filament=\"f\"\n")
            << 2 << 1 << "B"
            << "" << QVector3D(150, 20, 30) << kvPrinterSettings::NoProbe << ""
            << "f";
        QTest::newRow("first entry without bedX")
            << QByteArray("[A]\nbedY=20\nbedZ=30\n") << 1 << 0 << "A"
            << "" << QVector3D(0, 20, 30) << kvPrinterSettings::NoProbe << ""
            << "";
        QTest::newRow("blank after = stays in the name")
            << QByteArray("[A]\nname= Halvarn\n") << 1 << 0 << "A"
            << " Halvarn" << QVector3D(0, 0, 0) << kvPrinterSettings::NoProbe << ""
            << "";
        QTest::newRow("blank after = keeps the opening quote")
            << QByteArray("[A]\nslic3r_printer= \"p.ini\"\nslic3r_filament = \"f.ini\"\n") << 1 << 0
            << "A"
            << "" << QVector3D(0, 0, 0) << kvPrinterSettings::NoProbe << "\"p.ini"
            << "\"f.ini";
        QTest::newRow("profile without quotes loses its ends")
            << QByteArray("[A]\nslic3r_printer=p.ini\nslic3r_filament=\"\n") << 1 << 0 << "A"
            << "" << QVector3D(0, 0, 0) << kvPrinterSettings::NoProbe << ".in"
            << "";
        QTest::newRow("keys after slic3r_filament change nothing")
            << QByteArray("[A]\nname=A\nbedX=1\nbedY=2\nbedZ=3\nslic3r_filament=\"f\"\n"
                          "name=B\nbedZ=9\nprobe=4\nslic3r_printer=\"q\"\n")
            << 1 << 0 << "A"
            << "A" << QVector3D(1, 2, 3) << kvPrinterSettings::NoProbe << ""
            << "f";
        QTest::newRow("entry without slic3r_filament stays open")
            << QByteArray("[A]\nname=A\nslic3r_printer=\"p\"\nname=B\nprobe=3\n") << 1 << 0 << "A"
            << "B" << QVector3D(0, 0, 0) << 3 << "p"
            << "";
        QTest::newRow("comment holding a key is read as that key")
            << QByteArray("[A]\nname=A\n# the name=Renamed\n") << 1 << 0 << "A"
            << "Renamed" << QVector3D(0, 0, 0) << kvPrinterSettings::NoProbe << ""
            << "";
        QTest::newRow("line without = takes the whole line")
            << QByteArray("[A]\nname\nbedX 5\nbedY\nbedZ\n") << 1 << 0 << "A"
            << "name" << QVector3D(0, 0, 0) << kvPrinterSettings::NoProbe << ""
            << "";
        QTest::newRow("numbers in the C locale, blanks ignored")
            << QByteArray("[A]\nbedX= 203.2 \nbedY=1e2\nbedZ=\t7\nprobe= 5 \n") << 1 << 0 << "A"
            << "" << QVector3D(203.2f, 100, 7) << 5 << ""
            << "";
        QTest::newRow("bad numbers read as 0")
            << QByteArray("[A]\nbedX=1,5\nbedY=abc\nbedZ=12mm\nprobe=1.5\n") << 1 << 0 << "A"
            << "" << QVector3D(0, 0, 0) << 0 << ""
            << "";
        QTest::newRow("non-finite sizes read as 0")
            << QByteArray("[A]\nbedX=nan\nbedY=inf\nbedZ=1e40\nprobe=99999999999\n") << 1 << 0
            << "A"
            << "" << QVector3D(0, 0, 0) << 0 << ""
            << "";
        QTest::newRow("blank after the closing bracket")
            << QByteArray("[Halvarn_8x8] \n") << 1 << 0 << "Halvarn_8x8]"
            << "" << QVector3D(0, 0, 0) << kvPrinterSettings::NoProbe << ""
            << "";
        QTest::newRow("section without closing bracket")
            << QByteArray("[Halvarn_8x8\n") << 1 << 0 << "Halvarn_8x"
            << "" << QVector3D(0, 0, 0) << kvPrinterSettings::NoProbe << ""
            << "";
        QTest::newRow("bare bracket")
            << QByteArray("[\n[]\n") << 2 << 1 << ""
            << "" << QVector3D(0, 0, 0) << kvPrinterSettings::NoProbe << ""
            << "";
    }

    void readEntry()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, count);
        QFETCH(int, index);

        kvPrinter::loadPrinterTypes(writeTypesFile(content));
        QCOMPARE(kvPrinter::PrinterTypes.size(), count);

        const kvPrinterSettings *tEntry = kvPrinter::PrinterTypes.at(index);
        QTEST(tEntry->firmwareName(), "firmware");
        QTEST(tEntry->printerName(), "name");
        QTEST(QVector3D(tEntry->bedSize()), "bed");
        QTEST(int(tEntry->probe()), "probe");
        QTEST(tEntry->slic3rPrinterSetting(), "printerProfile");
        QTEST(tEntry->slic3rFilamentSetting(), "filamentProfile");
        QVERIFY(!tEntry->parent());
    }

    void missingFile()
    {
        kvPrinter::loadPrinterTypes(m_dir.filePath(QStringLiteral("absent.ini")));
        QVERIFY(kvPrinter::PrinterTypes.isEmpty());
        QVERIFY(!kvPrinter::getPrinterSettings(QStringLiteral("Halvarn_Tovra")));

        // A later missing file keeps what was loaded.
        kvPrinter::loadPrinterTypes(writeTypesFile("[A]\n"));
        kvPrinter::loadPrinterTypes(m_dir.filePath(QStringLiteral("absent.ini")));
        QCOMPARE(kvPrinter::PrinterTypes.size(), 1);
    }

    void directoryInsteadOfFile()
    {
        kvPrinter::loadPrinterTypes(m_dir.path());
        QVERIFY(kvPrinter::PrinterTypes.isEmpty());
    }

    void lookup_data()
    {
        QTest::addColumn<QString>("machineType");
        QTest::addColumn<int>("index");

        QTest::newRow("exact") << "Halvarn_Tovra" << 1;
        QTest::newRow("duplicate section gives the first") << "Halvarn_6x6" << 0;
        QTest::newRow("Mendel finds Repetier_0.83") << "Mendel" << 3;
        QTest::newRow("mendel is looked up unchanged") << "mendel" << 4;
        QTest::newRow("case respected") << "HALVARN_TOVRA" << -1;
        QTest::newRow("no trimming") << "Halvarn_Tovra " << -1;
        QTest::newRow("Repetier_0.83 itself") << "Repetier_0.83" << 3;
        QTest::newRow("empty") << "" << -1;
        QTest::newRow("unknown") << "Halvarn_9x9" << -1;
    }

    void lookup()
    {
        QFETCH(QString, machineType);
        QFETCH(int, index);

        kvPrinter::loadPrinterTypes(writeTypesFile("[Halvarn_6x6]\nslic3r_filament=\"a\"\n"
                                                   "[Halvarn_Tovra]\n"
                                                   "[Halvarn_6x6]\nslic3r_filament=\"b\"\n"
                                                   "[Repetier_0.83]\n"
                                                   "[mendel]\n"));
        QCOMPARE(kvPrinter::PrinterTypes.size(), 5);
        kvPrinterSettings *tFound = kvPrinter::getPrinterSettings(machineType);
        QCOMPARE(tFound, index < 0 ? nullptr : kvPrinter::PrinterTypes.at(index));
    }

    void loadAppends()
    {
        const QString tPath = writeTypesFile("[A]\n[B]\n");
        kvPrinter::loadPrinterTypes(tPath);
        kvPrinter::loadPrinterTypes(tPath);
        QCOMPARE(kvPrinter::PrinterTypes.size(), 4);
        QCOMPARE(kvPrinter::getPrinterSettings(QStringLiteral("B")), kvPrinter::PrinterTypes.at(1));

        kvPrinter::clearPrinterTypes();
        QVERIFY(kvPrinter::PrinterTypes.isEmpty());
    }

    // The installed file: every Halvarn printer, found by the machine type its firmware
    // reports.
    void installedFile_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QVector3D>("bed");
        QTest::addColumn<QString>("printerProfile");
        QTest::addColumn<QString>("filamentProfile");

        const auto tReply = [](const char *pType) {
            return QStringLiteral("FIRMWARE_NAME:Marlin V1; Sprinter/grbl mashup for gen6 "
                                  "FIRMWARE_URL:http://www.halvarn.example/ PROTOCOL_VERSION:1.0 "
                                  "MACHINE_TYPE:%1 EXTRUDER_COUNT:1 "
                                  "UUID:00000000-0000-0000-0000-000000000000\nok\n")
                .arg(QLatin1String(pType));
        };
        QTest::newRow("6x6") << tReply("Halvarn_6x6") << "Halvarn 6x6" << QVector3D(150, 150, 150)
                             << "Halvarn 6x6.ini"
                             << "Halvarn 1.75mm.ini";
        QTest::newRow("8x8") << tReply("Halvarn_8x8") << "Halvarn 8x8" << QVector3D(200, 200, 200)
                             << "Halvarn 8x8.ini"
                             << "Halvarn 1.75mm.ini";
        QTest::newRow("Tovra") << tReply("Halvarn_Tovra") << "Halvarn Tovra"
                               << QVector3D(200, 200, 180) << "Halvarn Tovra.ini"
                               << "Halvarn Tovra.ini";
        QTest::newRow("Belquist") << tReply("Halvarn_Belquist") << "Halvarn Belquist"
                                  << QVector3D(305, 305, 305) << "Halvarn Belquist.ini"
                                  << "Halvarn 1.75mm.ini";
        QTest::newRow("Quenmar") << tReply("Halvarn_Quenmar") << "Halvarn Quenmar"
                                 << QVector3D(150, 150, 150) << "Halvarn Quenmar.ini"
                                 << "Halvarn 1.75mm.ini";
        QTest::newRow("Mendel")
            << "FIRMWARE_NAME:Repetier_0.83 FIRMWARE_URL:https://github.com/repetier/"
               "Repetier-Firmware/ PROTOCOL_VERSION:1.0 MACHINE_TYPE:Mendel EXTRUDER_COUNT:1 "
               "REPETIER_PROTOCOL:2\nok\n"
            << "RepRap Mendel" << QVector3D(200, 200, 200) << "Halvarn 8x8.ini"
            << "Halvarn 1.75mm.ini";
    }

    void installedFile()
    {
        QFETCH(QString, reply);

        kvPrinter::loadPrinterTypes(InstalledTypes);
        QCOMPARE(kvPrinter::PrinterTypes.size(), 6);

        kvFirmware tFirmware;
        tFirmware.parseM115Reply(reply);
        const kvPrinterSettings *tEntry = kvPrinter::getPrinterSettings(tFirmware.MachineType());
        QVERIFY2(tEntry, qPrintable(tFirmware.MachineType()));
        QTEST(tEntry->printerName(), "name");
        QTEST(QVector3D(tEntry->bedSize()), "bed");
        QVERIFY(int(tEntry->probe()) >= 0);
        QTEST(tEntry->slic3rPrinterSetting(), "printerProfile");
        QTEST(tEntry->slic3rFilamentSetting(), "filamentProfile");

        // The Tovra model is recognised by its section name upper-cased, by its machine
        // type with and without case, and by its printer name; no other model is.
        const bool tTovra = QByteArray(QTest::currentDataTag()) == "Tovra";
        QCOMPARE(tEntry->firmwareName().toUpper().contains(QLatin1String("TOVRA")), tTovra);
        QCOMPARE(tFirmware.MachineType().toUpper().contains(QLatin1String("TOVRA")), tTovra);
        QCOMPARE(tFirmware.MachineType().contains(QLatin1String("Tovra")), tTovra);
        QCOMPARE(tEntry->printerName().contains(QLatin1String("Tovra")), tTovra);
    }

    void installedFileBesideTheBuild()
    {
        const QString tCopy = QStringLiteral(KV_BINARY_DIR "/kvPrinterSettings.ini");
        QFile tInstalled(InstalledTypes);
        QFile tBuilt(tCopy);
        QVERIFY(tInstalled.open(QIODevice::ReadOnly));
        QVERIFY(tBuilt.open(QIODevice::ReadOnly));
        QCOMPARE(tBuilt.readAll(), tInstalled.readAll());
    }
};

KV_TEST_MAIN(tst_PrinterTypes)
#include "tst_printertypes.moc"
