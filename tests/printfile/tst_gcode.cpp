#include "kvGCode.h"
#include "kvTestSupport.h"

#include <QLoggingCategory>

namespace {

// The words a line carries, in a fixed order, e.g. "X10.5 Y20 F3000".
QString words(const kvGCode &pLine)
{
    QStringList tWords;
    const auto tAdd = [&tWords](bool pHas, char pLetter, float pValue) {
        if (pHas)
            tWords << QLatin1Char(pLetter) + QString::number(double(pValue));
    };
    tAdd(pLine.hasX(), 'X', pLine.XValue());
    tAdd(pLine.hasY(), 'Y', pLine.YValue());
    tAdd(pLine.hasZ(), 'Z', pLine.ZValue());
    tAdd(pLine.hasE(), 'E', pLine.EValue());
    tAdd(pLine.hasF(), 'F', pLine.FValue());
    tAdd(pLine.hasS(), 'S', pLine.SValue());
    tAdd(pLine.hasP(), 'P', pLine.PValue());
    tAdd(pLine.hasR(), 'R', pLine.RValue());
    return tWords.join(QLatin1Char(' '));
}

// Flags as letters: G, M, T (command flags), B (blank), C (isComment).
QString flags(const kvGCode &pLine)
{
    QString tFlags;
    if (pLine.hasG())
        tFlags += QLatin1Char('G');
    if (pLine.hasM())
        tFlags += QLatin1Char('M');
    if (pLine.hasT())
        tFlags += QLatin1Char('T');
    if (pLine.isBlank())
        tFlags += QLatin1Char('B');
    if (pLine.isComment())
        tFlags += QLatin1Char('C');
    return tFlags;
}

} // namespace

class tst_gcode : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void parse_data();
    void parse();
    void numberText_data();
    void numberText();
    void defaultLine();
    void copyIsNotParsedAgain();
    void setRaw_data();
    void setRaw();
    void setCommandAndNumber_data();
    void setCommandAndNumber();
    void validSequence_data();
    void validSequence();
    void setters();
};

void tst_gcode::initTestCase()
{
    // The empty-line trace is expected; keep the output readable.
    QLoggingCategory::setFilterRules(QStringLiteral("kv.printfile.debug=false"));
}

void tst_gcode::parse_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("words");
    QTest::addColumn<QString>("flags");
    QTest::addColumn<QString>("comment");
    QTest::addColumn<QString>("cleaned");

    QTest::newRow("move with comment") << "G1 X10.5 Y20 F3000 ; move"
                                       << "G" << 1 << "X10.5 Y20 F3000"
                                       << "G"
                                       << " move"
                                       << "G1 X10.5 Y20 F3000";
    QTest::newRow("Z of the comment unread") << "G1 Z0.35 F7800 ; lift Z"
                                             << "G" << 1 << "Z0.35 F7800"
                                             << "G"
                                             << " lift Z"
                                             << "G1 Z0.35 F7800";
    QTest::newRow("semicolon inside token") << "G1 X10;note"
                                            << "G" << 1 << ""
                                            << "GC"
                                            << ""
                                            << "G1 X10";
    QTest::newRow("comment keeps its blanks") << "G1 X5 ; a  b "
                                              << "G" << 1 << "X5"
                                              << "G"
                                              << " a  b "
                                              << "G1 X5";
    QTest::newRow("bare semicolon at end") << "G1 X5 ;"
                                           << "G" << 1 << "X5"
                                           << "G"
                                           << ""
                                           << "G1 X5";
    QTest::newRow("leading blank") << " G1 X10"
                                   << "" << -1 << ""
                                   << "C"
                                   << ""
                                   << " G1 X10";
    QTest::newRow("small letters") << "g1 x10"
                                   << "" << -1 << ""
                                   << "C"
                                   << ""
                                   << "g1 x10";
    QTest::newRow("line number") << "N10 G1 X5"
                                 << "" << -1 << ""
                                 << "C"
                                 << ""
                                 << "N10 G1 X5";
    QTest::newRow("empty") << ""
                           << "" << -1 << ""
                           << "BC"
                           << ""
                           << "";
    QTest::newRow("three blanks") << "   "
                                  << "" << -1 << ""
                                  << "C"
                                  << ""
                                  << "   ";
    QTest::newRow("comment line") << "  ;G1 X5"
                                  << "" << -1 << ""
                                  << "C"
                                  << ""
                                  << "";
    QTest::newRow("home") << "G28"
                          << "G" << 28 << ""
                          << "GC"
                          << ""
                          << "G28";
    QTest::newRow("home with comment") << "G28 ; home all axes"
                                       << "G" << 28 << ""
                                       << "G"
                                       << " home all axes"
                                       << "G28";
    QTest::newRow("E without value") << "G1 E"
                                     << "G" << 1 << "E0"
                                     << "G"
                                     << ""
                                     << "G1 E";
    QTest::newRow("extrusion move") << "G1 X90.242 Y86.564 E2.06066"
                                    << "G" << 1 << "X90.242 Y86.564 E2.06066"
                                    << "G"
                                    << ""
                                    << "G1 X90.242 Y86.564 E2.06066";
    QTest::newRow("E5F100 reads as F") << "G1 E5F100"
                                       << "G" << 1 << "F100"
                                       << "G"
                                       << ""
                                       << "G1 E5F100";
    QTest::newRow("X10Y20 reads X only") << "G1 X10Y20"
                                         << "G" << 1 << "X10"
                                         << "G"
                                         << ""
                                         << "G1 X10Y20";
    QTest::newRow("Y up to F") << "G1 Y20F300"
                               << "G" << 1 << "Y20"
                               << "G"
                               << ""
                               << "G1 Y20F300";
    QTest::newRow("Y up to E") << "G1 Y5E2"
                               << "G" << 1 << "Y5"
                               << "G"
                               << ""
                               << "G1 Y5E2";
    QTest::newRow("Z in any token") << "G1 X1Z5"
                                    << "G" << 1 << "X0 Z5"
                                    << "G"
                                    << ""
                                    << "G1 X1Z5";
    QTest::newRow("exponent") << "G1 X-2.5E-1 Y1e2"
                              << "G" << 1 << "X-0.25 Y100"
                              << "G"
                              << ""
                              << "G1 X-2.5E-1 Y1e2";
    QTest::newRow("decimal comma") << "G1 X1,5"
                                   << "G" << 1 << "X0"
                                   << "G"
                                   << ""
                                   << "G1 X1,5";
    QTest::newRow("not finite") << "G1 Xnan Yinf Z1e39"
                                << "G" << 1 << "X0 Y0 Z0"
                                << "G"
                                << ""
                                << "G1 Xnan Yinf Z1e39";
    QTest::newRow("carriage return") << "G1 X10 Y20\r"
                                     << "G" << 1 << "X10 Y20"
                                     << "G"
                                     << ""
                                     << "G1 X10 Y20\r";
    QTest::newRow("double blank") << "G1  X3"
                                  << "G" << 1 << "X3"
                                  << "G"
                                  << ""
                                  << "G1  X3";
    QTest::newRow("fractional command") << "G92.1"
                                        << "G" << 0 << ""
                                        << "GC"
                                        << ""
                                        << "G92.1";
    QTest::newRow("command number overflow") << "G99999999999"
                                             << "G" << 0 << ""
                                             << "GC"
                                             << ""
                                             << "G99999999999";
    QTest::newRow("temperature") << "M104 S200"
                                 << "M" << 104 << "S200"
                                 << "M"
                                 << ""
                                 << "M104 S200";
    QTest::newRow("comment word read as S") << "M106 S255 ; Set fan"
                                            << "M" << 106 << "S0"
                                            << "M"
                                            << ";"
                                            << "M106 S255";
    QTest::newRow("last comment token wins") << "M117 P5 ;a ;b"
                                             << "M" << 117 << "P5"
                                             << "M"
                                             << ";b"
                                             << "M117 P5";
    QTest::newRow("M comment line") << "M84 ;off"
                                    << "M" << 84 << ""
                                    << "MC"
                                    << ";off"
                                    << "M84";
    QTest::newRow("tool") << "T1"
                          << "T" << 1 << ""
                          << "T"
                          << ""
                          << "T1";
    QTest::newRow("tool with comment") << "T1 ; tool"
                                       << "T" << 0 << ""
                                       << "T"
                                       << ""
                                       << "T1";
}

void tst_gcode::parse()
{
    QFETCH(QString, line);
    QFETCH(QString, command);
    QFETCH(int, number);

    const kvGCode tLine(line);
    QCOMPARE(tLine.Raw(), line);
    QCOMPARE(tLine.Command(), command);
    QCOMPARE(tLine.CommandNumber(), number);
    QTEST(words(tLine), "words");
    QTEST(flags(tLine), "flags");
    QTEST(tLine.Comment(), "comment");
    QTEST(tLine.Cleaned(), "cleaned");
}

void tst_gcode::numberText_data()
{
    QTest::addColumn<QString>("text");
    for (const char *tText :
        {"10.5", "+3", "-.5", "5.", "007", "1e3", "1E-2", "-1.5e+2", "\t7", "8\t", "abc", "1.2.3",
            "", "-", ".", "e5", "1e", "1e+", "0x10", "1,5", "--1", "12abc", "3.4028e38"})
        QTest::newRow(tText) << QString::fromLatin1(tText);
}

void tst_gcode::numberText()
{
    // A word value reads exactly as the framework's C-locale conversion would.
    QFETCH(QString, text);
    const kvGCode tLine(QStringLiteral("G1 F") + text);
    QVERIFY(tLine.hasF());
    QCOMPARE(tLine.FValue(), text.toFloat());
}

void tst_gcode::defaultLine()
{
    for (const kvGCode &tLine : {kvGCode(), kvGCode(QStringLiteral("UNK"))}) {
        QCOMPARE(tLine.Raw(), QStringLiteral("UNK"));
        QCOMPARE(tLine.Cleaned(), QStringLiteral("UNK"));
        QCOMPARE(tLine.Command(), QString());
        QCOMPARE(tLine.CommandNumber(), -1);
        QCOMPARE(words(tLine), QString());
        QCOMPARE(flags(tLine), QStringLiteral("C"));
    }
}

void tst_gcode::copyIsNotParsedAgain()
{
    kvGCode tLine(QStringLiteral("G1 X5 Y-2 Z0.3 E1 F900 ; perimeter"));
    tLine.setRaw(QStringLiteral("M104 S200"));
    tLine.setCleaned(QStringLiteral("G1 X5"));
    tLine.setRValue(2);

    const kvGCode tCopied(tLine);
    kvGCode tAssigned(QStringLiteral("M107"));
    tAssigned = tLine;
    kvGCode tCopy;
    tCopy.copy(tLine);
    for (const kvGCode &tOther : {tCopied, tAssigned, tCopy}) {
        QCOMPARE(tOther.Raw(), QStringLiteral("M104 S200"));
        QCOMPARE(tOther.Cleaned(), QStringLiteral("G1 X5"));
        QCOMPARE(tOther.Command(), QStringLiteral("G"));
        QCOMPARE(tOther.CommandNumber(), 1);
        QCOMPARE(words(tOther), QStringLiteral("X5 Y-2 Z0.3 E1 F900 R2"));
        QCOMPARE(flags(tOther), QStringLiteral("G"));
        QCOMPARE(tOther.Comment(), QStringLiteral(" perimeter"));
        QCOMPARE(tOther.Coordinates(), kvVector3D(5, -2, 0.3f));
    }

    tCopy.copy(tCopy);
    QCOMPARE(words(tCopy), QStringLiteral("X5 Y-2 Z0.3 E1 F900 R2"));
}

void tst_gcode::setRaw_data()
{
    QTest::addColumn<QString>("raw");
    QTest::addColumn<QString>("cleaned");
    QTest::newRow("comment cut and trimmed") << "  G1 X5\t; c ; d"
                                             << "G1 X5";
    QTest::newRow("no semicolon untrimmed") << "  G1  "
                                            << "  G1  ";
    QTest::newRow("only comment") << "; c"
                                  << "";
    QTest::newRow("CRLF comment") << "M84 ;off\r"
                                  << "M84";
}

void tst_gcode::setRaw()
{
    QFETCH(QString, raw);
    kvGCode tLine(QStringLiteral("G1 X1"));
    tLine.setRaw(raw);
    QCOMPARE(tLine.Raw(), raw);
    QTEST(tLine.Cleaned(), "cleaned");
    QCOMPARE(words(tLine), QStringLiteral("X1"));
}

void tst_gcode::setCommandAndNumber_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("number");
    QTest::newRow("G1") << "G1"
                        << "G" << 1;
    QTest::newRow("M104") << "M104"
                          << "M" << 104;
    QTest::newRow("every letter removed") << "G1G2"
                                          << "G" << 12;
    QTest::newRow("fraction") << "G92.1"
                              << "G" << 0;
    QTest::newRow("negative") << "G-3"
                              << "G" << -3;
    QTest::newRow("letter only") << "M"
                                 << "M" << 0;
    QTest::newRow("int minimum") << "T-2147483648"
                                 << "T" << std::numeric_limits<int>::min();
    QTest::newRow("past int maximum") << "T2147483648"
                                      << "T" << 0;
    QTest::newRow("empty") << ""
                           << "" << 0;
}

void tst_gcode::setCommandAndNumber()
{
    QFETCH(QString, text);
    kvGCode tLine;
    tLine.setCommandAndNumber(text);
    QTEST(tLine.Command(), "command");
    QTEST(tLine.CommandNumber(), "number");
}

void tst_gcode::validSequence_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::newRow("G1") << "G1" << true;
    QTest::newRow("Z9 and more") << "Z9abc" << true;
    QTest::newRow("small letter") << "g1" << false;
    QTest::newRow("one letter") << "G" << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("letter letter") << "GX" << false;
    QTest::newRow("digit first") << "1G" << false;
}

void tst_gcode::validSequence()
{
    QFETCH(QString, text);
    QTEST(kvGCode().isValidGCodeSequence(text), "valid");
}

void tst_gcode::setters()
{
    kvGCode tLine(QStringLiteral("G28"));
    tLine.appenedComment(QStringLiteral("a"));
    tLine.appenedComment(QStringLiteral("b"));
    QCOMPARE(tLine.Comment(), QStringLiteral(" a b"));
    QVERIFY(!tLine.isComment());
    tLine.setComment(QStringLiteral(";x"));
    QVERIFY(tLine.isComment());

    tLine.setTValue(1);
    QVERIFY(tLine.hasT());
    QCOMPARE(tLine.TValue(), 1.0f);
    QVERIFY(!tLine.isComment());

    tLine.setCommand(QStringLiteral("M"));
    tLine.setCommandNumber(140);
    tLine.setSValue(60);
    QCOMPARE(tLine.Command(), QStringLiteral("M"));
    QCOMPARE(tLine.CommandNumber(), 140);
    QCOMPARE(words(tLine), QStringLiteral("S60"));
}

KV_TEST_MAIN(tst_gcode)
#include "tst_gcode.moc"
