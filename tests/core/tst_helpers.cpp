#include "kvHelpers.h"
#include "kvTestSupport.h"
#include "kvVector3D.h"

#include <QLocale>

#include <limits>

class tst_helpers : public QObject
{
    Q_OBJECT
private slots:
    void millisecondsToTime_data();
    void millisecondsToTime();
    void pointInside_data();
    void pointInside();
    void floatFromText_data();
    void floatFromText();
    void floatFromUserText_data();
    void floatFromUserText();
    void parseTempAndSetTemp_data();
    void parseTempAndSetTemp();
    void quotedString_data();
    void quotedString();
};

void tst_helpers::millisecondsToTime_data()
{
    QTest::addColumn<float>("ms");
    QTest::addColumn<QString>("text");
    const float tInf = std::numeric_limits<float>::infinity();
    QTest::newRow("zero") << 0.0f << "00:00:00";
    QTest::newRow("1h 2m 3s") << 3723000.0f << "01:02:03";
    QTest::newRow("one minute") << 60000.0f << "00:01:00";
    QTest::newRow("just under a minute") << 59999.0f << "00:00:59";
    QTest::newRow("fraction of a second") << 999.9f << "00:00:00";
    QTest::newRow("day is not wrapped") << 90000000.0f << "25:00:00";
    QTest::newRow("hundred hours") << 360000000.0f << "100:00:00";
    // Negative durations keep the sign of each part, as integer remainders do.
    QTest::newRow("negative") << -61000.0f << "00:-1:-1";
    // Values an int cannot hold must neither overflow nor wrap.
    QTest::newRow("2^32 hours") << 15461882265600000.0f << "2147483647:00:00";
    QTest::newRow("NaN") << std::numeric_limits<float>::quiet_NaN() << "00:00:00";
    QTest::newRow("infinity") << tInf << "00:00:00";
    QTest::newRow("-infinity") << -tInf << "00:00:00";
}

void tst_helpers::millisecondsToTime()
{
    QFETCH(float, ms);
    QFETCH(QString, text);
    QCOMPARE(Kv::millisecondsToTime(ms), text);
}

void tst_helpers::pointInside_data()
{
    QTest::addColumn<QVector3D>("point");
    QTest::addColumn<QVector3D>("size");
    QTest::addColumn<bool>("inside");
    const QVector3D tBed(200, 200, 100);
    const float tNaN = std::numeric_limits<float>::quiet_NaN();
    QTest::newRow("on the faces") << QVector3D(100, -100, 50) << tBed << true;
    QTest::newRow("origin") << QVector3D(0, 0, 0) << tBed << true;
    QTest::newRow("past +x") << QVector3D(100.5f, 0, 0) << tBed << false;
    QTest::newRow("past -y") << QVector3D(0, -100.01f, 0) << tBed << false;
    QTest::newRow("past -z") << QVector3D(0, 0, -50.01f) << tBed << false;
    QTest::newRow("past +z only") << QVector3D(0, 0, 51) << tBed << false;
    QTest::newRow("zero box, origin") << QVector3D(0, 0, 0) << QVector3D(0, 0, 0) << true;
    QTest::newRow("NaN coordinate") << QVector3D(tNaN, 0, 0) << tBed << true;
    QTest::newRow("NaN with one axis out") << QVector3D(tNaN, 300, 0) << tBed << false;
}

void tst_helpers::pointInside()
{
    QFETCH(QVector3D, point);
    QFETCH(QVector3D, size);
    QFETCH(bool, inside);
    QCOMPARE(Kv::pointInside(kvVector3D(point), kvVector3D(size)), inside);
}

void tst_helpers::floatFromText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<float>("value");
    QTest::newRow("decimal") << "-12.25" << -12.25f;
    QTest::newRow("white space around") << " \t215.5\r\n" << 215.5f;
    QTest::newRow("exponent") << "1.5e3" << 1500.0f;
    QTest::newRow("empty") << "" << 0.0f;
    QTest::newRow("not a number") << "12mm" << 0.0f;
    QTest::newRow("comma") << "1,5" << 0.0f;
    QTest::newRow("nan") << "nan" << 0.0f;
    QTest::newRow("inf") << "-inf" << 0.0f;
    QTest::newRow("above float range") << "1e39" << 0.0f;
    QTest::newRow("below float range") << "1e-50" << 0.0f;
}

void tst_helpers::floatFromText()
{
    QFETCH(QString, text);
    QFETCH(float, value);
    QCOMPARE(Kv::floatFromText(text), value);
}

void tst_helpers::floatFromUserText_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QString>("text");
    QTest::addColumn<float>("value");
    const QLocale tGerman(QLocale::German, QLocale::Germany);
    const QLocale tEnglish(QLocale::English, QLocale::UnitedStates);
    QTest::newRow("German comma") << tGerman << "45,5" << 45.5f;
    QTest::newRow("German, point") << tGerman << "45.5" << 45.5f;
    QTest::newRow("German, white space") << tGerman << " -0,25\t" << -0.25f;
    QTest::newRow("German, point before comma") << tGerman << "1.000" << 1.0f;
    QTest::newRow("German, two commas") << tGerman << "4,5,6" << 0.0f;
    QTest::newRow("German, empty") << tGerman << "" << 0.0f;
    QTest::newRow("German, inf") << tGerman << "inf" << 0.0f;
    QTest::newRow("German, nan") << tGerman << "nan" << 0.0f;
    QTest::newRow("German, above float range") << tGerman << "1e39" << 0.0f;
    QTest::newRow("German, comma above float range") << tGerman << "1,5e39" << 0.0f;
    QTest::newRow("English point") << tEnglish << "45.5" << 45.5f;
    QTest::newRow("English, decimal comma") << tEnglish << "45,5" << 0.0f;
    QTest::newRow("C, comma") << QLocale::c() << "1,5" << 0.0f;
    // Group separators are no part of a typed angle, in either reading.
    QTest::newRow("C, grouped thousands") << QLocale::c() << "1,234" << 0.0f;
    QTest::newRow("English, grouped thousands") << tEnglish << "12,500" << 0.0f;
    QTest::newRow("English, grouped with a fraction") << tEnglish << "1,234.5" << 0.0f;
    QTest::newRow("German, grouped thousands") << tGerman << "1.234,5" << 0.0f;
}

void tst_helpers::floatFromUserText()
{
    QFETCH(QLocale, locale);
    QFETCH(QString, text);
    QFETCH(float, value);
    const QLocale tPrevious;
    QLocale::setDefault(locale);
    const float tRead = Kv::floatFromUserText(text);
    // Printer replies stay in the C form whatever the locale.
    const float tReply = Kv::floatFromText(QStringLiteral("45,5"));
    QLocale::setDefault(tPrevious);
    QCOMPARE(tRead, value);
    QCOMPARE(tReply, 0.0f);
}

void tst_helpers::parseTempAndSetTemp_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<float>("current");
    QTest::addColumn<float>("target");
    QTest::newRow("report") << "185.3 /190.0" << 185.3f << 190.0f;
    QTest::newRow("spaces around") << " 21.5/0 " << 21.5f << 0.0f;
    QTest::newRow("no slash") << "200" << 200.0f << 200.0f;
    QTest::newRow("empty") << "" << 0.0f << 0.0f;
    QTest::newRow("words") << "abc/def" << 0.0f << 0.0f;
    QTest::newRow("second slash") << "1/2/3" << 1.0f << 0.0f;
    QTest::newRow("slash first") << "/190" << 0.0f << 190.0f;
    QTest::newRow("slash last") << "190/" << 190.0f << 0.0f;
    // Garbage on the serial line must not reach the heater logic as NaN or infinity.
    QTest::newRow("nan") << "nan/200" << 0.0f << 200.0f;
    QTest::newRow("inf") << "inf/-inf" << 0.0f << 0.0f;
    QTest::newRow("out of float range") << "1e39/1e-50" << 0.0f << 0.0f;
}

void tst_helpers::parseTempAndSetTemp()
{
    QFETCH(QString, text);
    QFETCH(float, current);
    QFETCH(float, target);
    float tCurrent = -1.0f;
    float tTarget = -1.0f;
    Kv::parseTempAndSetTemp(text, tCurrent, tTarget);
    QCOMPARE(tCurrent, current);
    QCOMPARE(tTarget, target);
}

void tst_helpers::quotedString_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("quoted");
    QTest::newRow("empty") << ""
                           << "\"\"";
    QTest::newRow("path with spaces") << "/opt/My Slicer/slic3r"
                                      << "\"/opt/My Slicer/slic3r\"";
    QTest::newRow("inner quote kept") << "a\"b"
                                      << "\"a\"b\"";
}

void tst_helpers::quotedString()
{
    QFETCH(QString, text);
    QFETCH(QString, quoted);
    QCOMPARE(Kv::quotedString(text), quoted);
}

KV_TEST_MAIN(tst_helpers)
#include "tst_helpers.moc"
