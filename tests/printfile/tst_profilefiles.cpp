// The embedded slicer profiles: their format and values, and that the slicer
// accepts every merged print + filament + printer combination.

#include "kvTestSupport.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTextStream>

using KvTest::readFile;

namespace {

typedef QMap<QString, QString> KeyValues;

const char *const tSlic3r = "/usr/bin/slic3r";

const QStringList tPrints = {"Halvarn Low.ini", "Halvarn Medium.ini", "Halvarn High.ini",
    "Halvarn Tovra Low.ini", "Halvarn Tovra Medium.ini", "Halvarn Tovra High.ini"};
const QStringList tFilaments = {"Halvarn 1.75mm.ini", "Halvarn Tovra.ini"};
const QStringList tPrinters = {"Halvarn 6x6.ini", "Halvarn 8x8.ini", "Halvarn Tovra.ini",
    "Halvarn Belquist.ini", "Halvarn Quenmar.ini"};

// Keys the slicer renames or drops when it loads an older profile.
const QSet<QString> tLegacyKeys
    = {"bed_size", "print_center", "solid_fill_pattern", "threads", "support_material_threshold"};

QString resourcePath(const QString &pKind, const QString &pName)
{
    return QStringLiteral(":/") + pKind + QLatin1Char('/') + pName;
}

// Key lines of a profile ("key = value"), comment lines skipped.
KeyValues parseProfile(const QByteArray &pText)
{
    KeyValues tValues;
    for (const QByteArray &tLine : pText.split('\n')) {
        if (tLine.isEmpty() || tLine.startsWith('#'))
            continue;
        const int tSep = tLine.indexOf(" = ");
        if (tSep > 0)
            tValues.insert(
                QString::fromUtf8(tLine.left(tSep)), QString::fromUtf8(tLine.mid(tSep + 3)));
    }
    return tValues;
}

// Merges three profiles the way a slicing job does: comment lines dropped and
// the print_center line replaced by the job's centre.
bool writeMerged(const QString &pTarget, const QStringList &pSources, double pX, double pY)
{
    QFile tOut(pTarget);
    if (!tOut.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
        return false;
    QTextStream tStream(&tOut);
    for (const QString &tSource : pSources) {
        QFile tIn(tSource);
        if (!tIn.open(QIODevice::ReadOnly | QIODevice::Text))
            return false;
        QTextStream tLines(&tIn);
        while (!tLines.atEnd()) {
            const QString tLine = tLines.readLine();
            if (tLine.startsWith(QLatin1Char('#')))
                continue;
            if (tLine.contains(QLatin1String("print_center")))
                tStream << "print_center = " << QString::number(pX, 'g', 6) << ','
                        << QString::number(pY, 'g', 6) << '\n';
            else
                tStream << tLine << '\n';
        }
    }
    return tOut.flush();
}

// A 5 mm cube as ASCII STL.
QByteArray cubeStl()
{
    const float s = 5.0f;
    const float tCorner[8][3]
        = {{0, 0, 0}, {s, 0, 0}, {s, s, 0}, {0, s, 0}, {0, 0, s}, {s, 0, s}, {s, s, s}, {0, s, s}};
    const int tFacets[12][3] = {{0, 2, 1}, {0, 3, 2}, {4, 5, 6}, {4, 6, 7}, {0, 1, 5}, {0, 5, 4},
        {1, 2, 6}, {1, 6, 5}, {2, 3, 7}, {2, 7, 6}, {3, 0, 4}, {3, 4, 7}};
    QByteArray tText = "solid cube\n";
    for (const auto &tFacet : tFacets) {
        tText += " facet normal 0 0 0\n  outer loop\n";
        for (int tIndex : tFacet)
            tText += QByteArray("   vertex ") + QByteArray::number(tCorner[tIndex][0]) + ' '
                + QByteArray::number(tCorner[tIndex][1]) + ' '
                + QByteArray::number(tCorner[tIndex][2]) + '\n';
        tText += "  endloop\n endfacet\n";
    }
    return tText + "endsolid cube\n";
}

KeyValues commonPrintValues()
{
    return {{"perimeters", "3"}, {"top_solid_layers", "3"}, {"bottom_solid_layers", "3"},
        {"fill_density", "10%"}, {"fill_pattern", "honeycomb"},
        {"solid_fill_pattern", "rectilinear"}, {"fill_angle", "45"},
        {"first_layer_extrusion_width", "200%"}, {"first_layer_speed", "30%"},
        {"perimeter_speed", "30"}, {"small_perimeter_speed", "30"}, {"infill_speed", "60"},
        {"solid_infill_speed", "60"}, {"top_solid_infill_speed", "50"}, {"bridge_speed", "60"},
        {"gap_fill_speed", "20"}, {"support_material_speed", "60"}, {"travel_speed", "130"},
        {"extra_perimeters", "1"}, {"thin_walls", "1"}, {"overhangs", "1"},
        {"only_retract_when_crossing_perimeters", "1"}, {"dont_support_bridges", "1"},
        {"seam_position", "aligned"}, {"skirts", "1"}, {"skirt_height", "1"}, {"brim_width", "0"},
        {"raft_layers", "0"}, {"support_material", "0"}, {"support_material_pattern", "pillars"},
        {"support_material_spacing", "2.5"}, {"support_material_interface_layers", "3"},
        {"solid_infill_below_area", "70"}, {"standby_temperature_delta", "-5"},
        {"extruder_clearance_height", "20"}, {"extruder_clearance_radius", "20"},
        {"gcode_comments", "0"}, {"complete_objects", "0"}, {"spiral_vase", "0"},
        {"output_filename_format", "[input_filename_base].gcode"}, {"notes", ""},
        {"post_process", ""}};
}

KeyValues filamentValues(
    const QString &pDiameter, const QString &pMultiplier, const QString &pCooling)
{
    return {{"filament_diameter", pDiameter}, {"extrusion_multiplier", pMultiplier},
        {"cooling", pCooling}, {"temperature", "0"}, {"first_layer_temperature", "0"},
        {"bed_temperature", "0"}, {"first_layer_bed_temperature", "0"}, {"fan_always_on", "0"},
        {"bridge_fan_speed", "100"}, {"max_fan_speed", "100"}, {"min_fan_speed", "35"},
        {"fan_below_layer_time", "60"}, {"slowdown_below_layer_time", "30"},
        {"min_print_speed", "10"}, {"disable_fan_first_layers", "1"}};
}

KeyValues printerValues(const QString &pBed, const QString &pCenter, int pExtruders,
    const QString &pStart, const QString &pEnd)
{
    KeyValues tValues = {{"bed_size", pBed}, {"print_center", pCenter}, {"start_gcode", pStart},
        {"end_gcode", pEnd}, {"gcode_flavor", "reprap"}, {"use_firmware_retraction", "0"},
        {"use_relative_e_distances", "0"}, {"vibration_limit", "0"}, {"z_offset", "0"},
        {"layer_gcode", ""}, {"toolchange_gcode", ""}};
    const KeyValues tPerExtruder = {{"nozzle_diameter", "0.4"}, {"extruder_offset", "0x0"},
        {"retract_length", "1"}, {"retract_speed", "30"}, {"retract_before_travel", "2"},
        {"retract_layer_change", "1"}, {"retract_length_toolchange", "10"}, {"retract_lift", "0"},
        {"retract_restart_extra", "0"}, {"retract_restart_extra_toolchange", "0"}, {"wipe", "0"}};
    for (auto tIt = tPerExtruder.cbegin(); tIt != tPerExtruder.cend(); ++tIt) {
        QStringList tList;
        for (int i = 0; i < pExtruders; ++i)
            tList << tIt.value();
        tValues.insert(tIt.key(), tList.join(QLatin1Char(',')));
    }
    return tValues;
}

} // namespace

Q_DECLARE_METATYPE(KeyValues)

class TestProfileFiles : public QObject
{
    Q_OBJECT

private slots:
    void resourceFolders_data();
    void resourceFolders();
    void format_data();
    void format();
    void sameKeysWithinKind_data();
    void sameKeysWithinKind();
    void values_data();
    void values();
    void slic3rLoadsMerged_data();
    void slic3rLoadsMerged();

private:
    QTemporaryDir m_Work;
};

void TestProfileFiles::resourceFolders_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QStringList>("names");
    QTest::newRow("print") << "print" << tPrints;
    QTest::newRow("filament") << "filament" << tFilaments;
    QTest::newRow("printer") << "printer" << tPrinters;
}

void TestProfileFiles::resourceFolders()
{
    QFETCH(QString, kind);
    QFETCH(QStringList, names);

    // Every entry of the folder becomes an installable profile, so nothing else may be there.
    QStringList tListed
        = QDir(QStringLiteral(":/") + kind).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    tListed.sort();
    names.sort();
    QCOMPARE(tListed, names);
}

void TestProfileFiles::format_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("comment");
    QTest::addColumn<int>("keyCount");

    QTest::newRow("Halvarn Low") << resourcePath("print", "Halvarn Low.ini")
                                 << "# generated by Slic3r 1.1.7 on Mon Apr  6 14:32:41 2015" << 78;
    for (const QString &tQuality :
        QStringList {"Medium", "High", "Tovra Low", "Tovra Medium", "Tovra High"})
        QTest::newRow(qPrintable("Halvarn " + tQuality))
            << resourcePath("print", "Halvarn " + tQuality + ".ini")
            << "# Halvarn " + tQuality + " print Slic3r 1.1.7" << 78;
    for (const QString &tName : QStringList {"1.75mm", "Tovra"})
        QTest::newRow(qPrintable("filament " + tName))
            << resourcePath("filament", "Halvarn " + tName + ".ini")
            << "# Halvarn " + tName + " filament Slic3r 1.1.7" << 15;
    for (const QString &tName : QStringList {"6x6", "8x8", "Tovra", "Belquist", "Quenmar"})
        QTest::newRow(qPrintable("printer " + tName))
            << resourcePath("printer", "Halvarn " + tName + ".ini")
            << "# Halvarn " + tName + " printer Slic3r 1.1.7" << 22;
}

void TestProfileFiles::format()
{
    QFETCH(QString, path);
    QFETCH(QString, comment);
    QFETCH(int, keyCount);

    const QByteArray tText = readFile(path);
    QVERIFY2(!tText.isEmpty(), qPrintable(path));
    QVERIFY2(!tText.contains('\r'), "LF line ends only");
    QVERIFY2(tText.endsWith('\n') && !tText.endsWith("\n\n"), "one LF after the last key");

    QList<QByteArray> tLines = tText.split('\n');
    tLines.removeLast();
    QCOMPARE(QString::fromUtf8(tLines.takeFirst()), comment);
    QCOMPARE(tLines.size(), keyCount);

    const QRegularExpression tShape(QStringLiteral("^([a-z0-9_]+) = (\\S(.*\\S)?)?$"));
    QString tPrevious;
    for (const QByteArray &tRaw : tLines) {
        const QString tLine = QString::fromUtf8(tRaw);
        const QRegularExpressionMatch tMatch = tShape.match(tLine);
        QVERIFY2(tMatch.hasMatch(), qPrintable("malformed line: \"" + tLine + '"'));
        const QString tKey = tMatch.captured(1);
        // Byte order, as the slicer writes its own profiles; strict, so no key twice.
        QVERIFY2(tPrevious < tKey, qPrintable(tPrevious + " before " + tKey));
        tPrevious = tKey;
    }
}

void TestProfileFiles::sameKeysWithinKind_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QStringList>("names");
    QTest::newRow("print") << "print" << tPrints;
    QTest::newRow("filament") << "filament" << tFilaments;
    QTest::newRow("printer") << "printer" << tPrinters;
}

void TestProfileFiles::sameKeysWithinKind()
{
    QFETCH(QString, kind);
    QFETCH(QStringList, names);

    const QStringList tKeys = parseProfile(readFile(resourcePath(kind, names.first()))).keys();
    for (const QString &tName : names)
        QCOMPARE(parseProfile(readFile(resourcePath(kind, tName))).keys(), tKeys);
}

void TestProfileFiles::values_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<KeyValues>("expected");

    struct PrintRow
    {
        const char *Name;
        const char *LayerHeight, *FirstLayerHeight, *ExternalSpeed, *ExternalFirst, *Skirt,
            *Threads;
    };
    const PrintRow tPrintRows[] = {
        {"Halvarn Low.ini", "0.3", "0.35", "50%", "0", "6", "2"},
        {"Halvarn Medium.ini", "0.2", "0.25", "70%", "0", "5", "4"},
        {"Halvarn High.ini", "0.1", "0.15", "70%", "0", "6", "2"},
        {"Halvarn Tovra Low.ini", "0.32", "0.35", "50%", "1", "6", "2"},
        {"Halvarn Tovra Medium.ini", "0.2", "0.25", "70%", "1", "5", "2"},
        {"Halvarn Tovra High.ini", "0.12", "0.15", "70%", "1", "6", "2"},
    };
    for (const PrintRow &tRow : tPrintRows) {
        KeyValues tValues = commonPrintValues();
        tValues.insert("layer_height", tRow.LayerHeight);
        tValues.insert("first_layer_height", tRow.FirstLayerHeight);
        tValues.insert("external_perimeter_speed", tRow.ExternalSpeed);
        tValues.insert("external_perimeters_first", tRow.ExternalFirst);
        tValues.insert("skirt_distance", tRow.Skirt);
        tValues.insert("threads", tRow.Threads);
        QTest::newRow(tRow.Name) << resourcePath("print", tRow.Name) << tValues;
    }

    QTest::newRow("Halvarn 1.75mm.ini")
        << resourcePath("filament", "Halvarn 1.75mm.ini") << filamentValues("1.75", "0.7", "0");
    QTest::newRow("Halvarn Tovra.ini (filament)")
        << resourcePath("filament", "Halvarn Tovra.ini") << filamentValues("1.7", "0.9", "1");

    const QString tStart = "G21\\nG91\\nG1 Z15 F4800\\nG90\\nG28";
    const QString tEnd = "G91\\nG1 Z15 F500\\nG90\\nG28 X0 Y0\\nM84";
    const QString tStartProbe = "G21\\nG91\\nG1 Z15 F4800\\nG90\\nG28 X0 Y0\\nG29";
    QTest::newRow("Halvarn 6x6.ini") << resourcePath("printer", "Halvarn 6x6.ini")
                                     << printerValues("150,150", "75,75", 1, tStart, tEnd);
    QTest::newRow("Halvarn 8x8.ini") << resourcePath("printer", "Halvarn 8x8.ini")
                                     << printerValues("200,200", "100,100", 1, tStart, tEnd);
    QTest::newRow("Halvarn Tovra.ini (printer)")
        << resourcePath("printer", "Halvarn Tovra.ini")
        << printerValues("200,200", "100,100", 1,
               "M100\\nG21\\nG90\\nG28 X0 Y0\\nG1 Z15 F4800\\nG1 Y5 F4800\\nG1 X5 "
               "F4800\\nG29",
               "G91\\nG1 Z50 F500\\nG90\\nG28 X0 Y0\\nM84\\nM101");
    QTest::newRow("Halvarn Belquist.ini") << resourcePath("printer",
        "Halvarn Belquist.ini") << printerValues("305,305", "152.5,152.5", 2, tStartProbe, tEnd);
    QTest::newRow("Halvarn Quenmar.ini") << resourcePath("printer", "Halvarn Quenmar.ini")
                                         << printerValues("150,150", "75,75", 2, tStartProbe, tEnd);
}

void TestProfileFiles::values()
{
    QFETCH(QString, path);
    QFETCH(KeyValues, expected);

    const KeyValues tActual = parseProfile(readFile(path));
    for (auto tIt = expected.cbegin(); tIt != expected.cend(); ++tIt) {
        QVERIFY2(tActual.contains(tIt.key()), qPrintable("missing key " + tIt.key()));
        QVERIFY2(tActual.value(tIt.key()) == tIt.value(),
            qPrintable(tIt.key() + " = \"" + tActual.value(tIt.key()) + "\", expected \""
                + tIt.value() + '"'));
    }
    // The rest of a print profile: every acceleration and every extrusion width but the
    // first layer's is 0.
    for (auto tIt = tActual.cbegin(); tIt != tActual.cend(); ++tIt) {
        const bool tZero = tIt.key().endsWith("_acceleration")
            || (tIt.key().endsWith("extrusion_width")
                && tIt.key() != "first_layer_extrusion_width");
        if (tZero)
            QVERIFY2(tIt.value() == "0", qPrintable(tIt.key() + " = " + tIt.value()));
    }
}

void TestProfileFiles::slic3rLoadsMerged_data()
{
    QTest::addColumn<QString>("print");
    QTest::addColumn<QString>("filament");
    QTest::addColumn<QString>("printer");
    for (const QString &tPrint : tPrints)
        for (const QString &tFilament : tFilaments)
            for (const QString &tPrinter : tPrinters)
                QTest::newRow(qPrintable(tPrint + " + " + tFilament + " + " + tPrinter))
                    << tPrint << tFilament << tPrinter;
}

void TestProfileFiles::slic3rLoadsMerged()
{
    QFETCH(QString, print);
    QFETCH(QString, filament);
    QFETCH(QString, printer);

    if (!QFile::exists(tSlic3r))
        QSKIP("the slicer is not installed");
    QVERIFY(m_Work.isValid());

    const QString tCube = m_Work.filePath("cube.stl");
    if (!QFile::exists(tCube)) {
        QFile tFile(tCube);
        QVERIFY(tFile.open(QIODevice::WriteOnly));
        tFile.write(cubeStl());
    }

    // The job's centre: the middle of the printer's bed.
    const KeyValues tPrinterKeys = parseProfile(readFile(resourcePath("printer", printer)));
    const QStringList tBed = tPrinterKeys.value("bed_size").split(',');
    QCOMPARE(tBed.size(), 2);
    const double tX = tBed.at(0).toDouble() / 2.0;
    const double tY = tBed.at(1).toDouble() / 2.0;

    const QString tMerged = m_Work.filePath("Kestrova.ini");
    const QString tSaved = m_Work.filePath("saved.ini");
    const QString tGCode = m_Work.filePath("cube.gcode");
    QFile::remove(tSaved);
    QFile::remove(tGCode);
    QVERIFY(writeMerged(tMerged,
        {resourcePath("print", print), resourcePath("filament", filament),
            resourcePath("printer", printer)},
        tX, tY));

    QProcess tSlicer;
    tSlicer.start(tSlic3r, {"--load", tMerged, "--save", tSaved, "-o", tGCode, tCube});
    QVERIFY(tSlicer.waitForFinished(60000));
    const QString tErrors = QString::fromLocal8Bit(tSlicer.readAllStandardError());
    QVERIFY2(tSlicer.exitStatus() == QProcess::NormalExit && tSlicer.exitCode() == 0,
        qPrintable(tErrors));
    const QRegularExpression tComplaint(
        QStringLiteral("invalid|unknown|error|warn"), QRegularExpression::CaseInsensitiveOption);
    QVERIFY2(!tComplaint.match(tErrors).hasMatch(), qPrintable(tErrors));

    // The slicer keeps every key it knows with the value given; a misspelt key or a
    // value it cannot read would be dropped or replaced.
    const KeyValues tMergedKeys = parseProfile(readFile(tMerged));
    const KeyValues tSavedKeys = parseProfile(readFile(tSaved));
    QCOMPARE(tMergedKeys.size(), 78 + 15 + 22);
    for (auto tIt = tMergedKeys.cbegin(); tIt != tMergedKeys.cend(); ++tIt) {
        if (tLegacyKeys.contains(tIt.key()))
            continue;
        QVERIFY2(tSavedKeys.contains(tIt.key()), qPrintable("slicer dropped " + tIt.key()));
        QVERIFY2(tSavedKeys.value(tIt.key()) == tIt.value(),
            qPrintable(tIt.key() + ": \"" + tIt.value() + "\" read as \""
                + tSavedKeys.value(tIt.key()) + '"'));
    }
    const QString tBedShape = QString("0x0,%1x0,%1x%2,0x%2").arg(tBed.at(0), tBed.at(1));
    QCOMPARE(tSavedKeys.value("bed_shape"), tBedShape);

    const QString tText = QString::fromUtf8(readFile(tGCode));
    QVERIFY2(
        tText.contains(QRegularExpression("^G1 .*E[0-9]", QRegularExpression::MultilineOption)),
        "no extruding move");
    // The printer's start commands, and no heating: the printer link does that.
    const QStringList tStart = tPrinterKeys.value("start_gcode").split("\\n");
    for (const QString &tCommand : tStart)
        QVERIFY2(tText.contains(QRegularExpression("^" + QRegularExpression::escape(tCommand) + "$",
                     QRegularExpression::MultilineOption)),
            qPrintable("start command missing: " + tCommand));
    const QRegularExpression tHeating(
        QStringLiteral("^M1(04|09|40|90) +S0*[1-9]"), QRegularExpression::MultilineOption);
    QVERIFY2(!tHeating.match(tText).hasMatch(), "heating command in the G-code");
}

KV_TEST_MAIN(TestProfileFiles)

#include "tst_profilefiles.moc"
