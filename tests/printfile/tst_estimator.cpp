#include "Estimator.h"
#include "kvTestSupport.h"

class tst_estimator : public QObject
{
    Q_OBJECT

private slots:
    void formatTime_data();
    void formatTime();
    void commandTime_data();
    void commandTime();
    void moveAdvancesLastPosition();
    void decrement_data();
    void decrement();
    void eachEstimatorKeepsItsOwn();
    void coordinateSums_data();
    void coordinateSums();

private:
    // The estimate so far, without the division of gettotalTime.
    static float total(Estimator &pEstimator) { return pEstimator.gettotalTime(0) * 10; }
};

void tst_estimator::formatTime_data()
{
    QTest::addColumn<float>("time");
    QTest::addColumn<QString>("text");
    QTest::newRow("zero") << 0.0f << "0 minutes,0 seconds";
    QTest::newRow("one minute") << 60.0f << "1 minutes,6 seconds";
    QTest::newRow("fraction dropped") << 59.9f << "1 minutes,4 seconds";
    QTest::newRow("one hour") << 3600.0f << "1 hours,6 minutes,0 seconds";
    QTest::newRow("just under a day") << 78545.0f << "23 hours,59 minutes,59 seconds";
    QTest::newRow("first day") << 78546.0f << "1 days0 hours,0 minutes,0 seconds";
    QTest::newRow("days and hours") << 200000.0f << "2 days13 hours,6 minutes,40 seconds";
    QTest::newRow("negative") << -60.0f << "-1 minutes,-6 seconds";
    QTest::newRow("past 32-bit milliseconds") << 1e7f << "127 days7 hours,33 minutes,20 seconds";
    QTest::newRow("NaN") << std::numeric_limits<float>::quiet_NaN() << "0 minutes,0 seconds";
}

void tst_estimator::formatTime()
{
    QFETCH(float, time);
    QTEST(Estimator().formatTime(time), "text");
}

void tst_estimator::commandTime_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<float>("x");
    QTest::addColumn<float>("y");
    QTest::addColumn<float>("e");
    QTest::addColumn<float>("f");
    QTest::addColumn<float>("added");
    QTest::newRow("straight move") << "G1" << 3.0f << 4.0f << 0.0f << 60.0f << 5.0f;
    QTest::newRow("move ignores e") << "G1" << 3.0f << 4.0f << 7.0f << 60.0f << 5.0f;
    QTest::newRow("pure extrusion") << "G1" << 0.0f << 0.0f << 2.0f << 120.0f << 1.0f;
    QTest::newRow("retraction") << "G1" << 0.0f << 0.0f << -2.0f << 120.0f << 1.0f;
    QTest::newRow("tiny move counts as extrusion")
        << "G1" << 0.0005f << 0.0f << 1.0f << 60.0f << 1.0f;
    QTest::newRow("zero feed rate") << "G1" << 3.0f << 4.0f << 0.0f << 0.0f << 0.0f;
    QTest::newRow("negative feed rate") << "G1" << 3.0f << 4.0f << 0.0f << -60.0f << 0.0f;
    QTest::newRow("G161") << "G161" << 3.0f << 4.0f << 0.0f << 60.0f << 6000.0f;
    QTest::newRow("G162") << "G162" << 3.0f << 4.0f << 0.0f << 60.0f << 6000.0f;
    QTest::newRow("M109") << "M109" << 3.0f << 4.0f << 0.0f << 60.0f << 600000.0f;
    QTest::newRow("G0 has no time") << "G0" << 3.0f << 4.0f << 0.0f << 60.0f << 0.0f;
    QTest::newRow("letter case matters") << "g1" << 3.0f << 4.0f << 0.0f << 60.0f << 0.0f;
}

void tst_estimator::commandTime()
{
    QFETCH(QString, command);
    QFETCH(float, x);
    QFETCH(float, y);
    QFETCH(float, e);
    QFETCH(float, f);
    Estimator tEstimator;
    tEstimator.estimate(command, x, y, 0, e, f);
    QTEST(total(tEstimator), "added");
}

void tst_estimator::moveAdvancesLastPosition()
{
    Estimator tEstimator;
    tEstimator.estimate(QStringLiteral("G1"), 3, 4, 0, 1, 60);
    tEstimator.estimate(QStringLiteral("M104"), 100, 100, 100, 100, 60);
    tEstimator.estimate(QStringLiteral("G1"), 3, 4, 12, 1, 60);
    QCOMPARE(total(tEstimator), 5.0f + 12.0f);
    tEstimator.clear();
    // clear() keeps the last position: the same target again is no move.
    tEstimator.estimate(QStringLiteral("G1"), 3, 4, 12, 3, 60);
    QCOMPARE(total(tEstimator), 2.0f);
    QCOMPARE(tEstimator.gettotalTime(8), 1.0f);
}

void tst_estimator::decrement_data()
{
    QTest::addColumn<float>("start");
    QTest::addColumn<float>("after");
    QTest::newRow("half") << 0.5f << -0.5f;
    QTest::newRow("zero") << 0.0f << 0.0f;
    QTest::newRow("three") << 3.0f << 2.0f;
}

void tst_estimator::decrement()
{
    QFETCH(float, start);
    Estimator tEstimator;
    tEstimator.estimate(QStringLiteral("G1"), 0, 0, 0, start, 60);
    QCOMPARE(total(tEstimator), start);
    tEstimator.decrement();
    QTEST(total(tEstimator), "after");
}

// Two estimates at once (the analysis dialog during a print) leave each other alone.
void tst_estimator::eachEstimatorKeepsItsOwn()
{
    Estimator tFirst;
    Estimator tSecond;
    tFirst.estimate(QStringLiteral("G1"), 3, 4, 0, 0, 60);
    // The second starts from its own origin, not from where the first moved to.
    tSecond.estimate(QStringLiteral("G1"), 3, 4, 0, 0, 60);
    QCOMPARE(total(tFirst), 5.0f);
    QCOMPARE(total(tSecond), 5.0f);
    tSecond.estimate(QStringLiteral("M109"), 0, 0, 0, 0, 60);
    tSecond.decrement();
    QCOMPARE(total(tFirst), 5.0f);
    tSecond.clear();
    QCOMPARE(total(tFirst), 5.0f);
    QCOMPARE(total(tSecond), 0.0f);
    // The first's next move starts where its own last one ended.
    tFirst.estimate(QStringLiteral("G1"), 3, 4, 12, 0, 60);
    QCOMPARE(total(tFirst), 5.0f + 12.0f);
}

void tst_estimator::coordinateSums_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<float>("sumX");
    QTest::addColumn<float>("sumY");
    QTest::addColumn<float>("sumZ");
    QTest::newRow("X wins over Y") << QStringList {"G1 X10 Y20"} << 10.0f << 0.0f << 0.0f;
    QTest::newRow("Y wins over Z") << QStringList {"G1 Y2 Z0.3 F600"} << 0.0f << 2.0f << 0.0f;
    QTest::newRow("Z alone") << QStringList {"G1 Z0.35 F7800"} << 0.0f << 0.0f << 0.35f;
    QTest::newRow("no coordinate") << QStringList {"G1 E2 F2400", "G28"} << 0.0f << 0.0f << 0.0f;
    QTest::newRow("running") << QStringList {"G1 X1.5", "G1 X-0.5 Y9", "G1 Y3", "G1 Z1"} << 1.0f
                             << 3.0f << 1.0f;
}

void tst_estimator::coordinateSums()
{
    QFETCH(QStringList, lines);
    Estimator tEstimator;
    for (const QString &tLine : lines)
        tEstimator.estimate(kvGCode(tLine));
    QTEST(tEstimator.sumX(), "sumX");
    QTEST(tEstimator.sumY(), "sumY");
    QTEST(tEstimator.sumZ(), "sumZ");
    QCOMPARE(total(tEstimator), 0.0f);
}

KV_TEST_MAIN(tst_estimator)
#include "tst_estimator.moc"
