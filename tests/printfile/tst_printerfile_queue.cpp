#include "kvPrinterFile.h"
#include "kvPrinterFileFixtures.h"
#include "kvTestSupport.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

using KvTest::writeFile;

using namespace KvPrinterFileTest;

class tst_PrinterFileQueue : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void dequeueAndReset()
    {
        kvPrinterFile tFile(writeFile(m_dir, "five.gcode", "G28\nG1 X1\nG1 X2\nG1 X3\nM84"));
        tFile.setUseRawGCode(true);
        tFile.loadFile();
        QCOMPARE(tFile.GCodeQueueCount(), 5);

        QSignalSpy tEmpty(&tFile, &kvPrinterFile::GCodeQueueIsEmpty);
        QCOMPARE(tFile.dequeueGCode().Cleaned(), QString("G28"));
        QCOMPARE(tFile.dequeueGCode().Cleaned(), QString("G1 X1"));
        QCOMPARE(tFile.dequeueGCode().Cleaned(), QString("G1 X2"));
        QCOMPARE(tFile.PrintQueueCount(), 2);
        QCOMPARE(tFile.GCodeQueueCount(), 5);
        tFile.resetQueue();
        QCOMPARE(tFile.PrintQueueCount(), 5);
        QCOMPARE(tFile.GCodeQueueCount(), 5);

        int tLeftAtSignal = -1;
        connect(&tFile, &kvPrinterFile::GCodeQueueIsEmpty,
            [&] { tLeftAtSignal = tFile.PrintQueueCount(); });
        for (int i = 0; i < 4; ++i)
            tFile.dequeueGCode();
        QCOMPARE(tEmpty.count(), 0);
        QVERIFY(!tFile.isGCodeQueueEmpty());
        QCOMPARE(tFile.dequeueGCode().Cleaned(), QString("M84"));
        QCOMPARE(tEmpty.count(), 1);
        QCOMPARE(tLeftAtSignal, 0);
        QVERIFY(tFile.isGCodeQueueEmpty());

        // Nothing left: no line to send and no second signal.
        QCOMPARE(tFile.dequeueGCode().Raw(), QString("UNK"));
        QCOMPARE(tEmpty.count(), 1);

        tFile.resetQueue();
        tFile.clearGCodeQueue();
        QCOMPARE(tFile.PrintQueueCount(), 0);
        QCOMPARE(tFile.GCodeQueueCount(), 5);

        QQueue<kvGCode> tOwn;
        tOwn << kvGCode("G90") << kvGCode("G91");
        tFile.setGcodeQueue(tOwn);
        QCOMPARE(tFile.GCodeQueueCount(), 2);
        QCOMPARE(tFile.PrintQueueCount(), 2);
    }

    void parsingAppendsToTheParsedQueue()
    {
        kvPrinterFile tFile(writeFile(m_dir, "two.gcode", "G28\nM84\n"));
        tFile.setUseRawGCode(true);
        tFile.loadFile();
        tFile.parseGCode();
        QCOMPARE(tFile.GCodeQueueCount(), 4);
        QCOMPARE(tFile.PrintQueueCount(), 4);
    }

    // Starting a print takes lines from the parsed file without copying it.
    void printingCopiesNoQueue()
    {
        QByteArray tText;
        for (int i = 0; i < 20000; ++i)
            tText += "G1 X" + QByteArray::number(i) + " Y1 E0.5 ; move\n";
        kvPrinterFile tFile(writeFile(m_dir, "long.gcode", tText));
        tFile.loadFile();
        const qint64 tBefore = KvTest::heapInUse();
        if (tBefore < 0)
            QSKIP("the heap cannot be watched under this allocator");
        QCOMPARE(tFile.dequeueGCode().Cleaned(), QString("G1 X0 Y1 E0.5"));
        QCOMPARE(tFile.dequeueGCode().Cleaned(), QString("G1 X1 Y1 E0.5"));
        tFile.resetQueue();
        QCOMPARE(tFile.dequeueGCode().Cleaned(), QString("G1 X0 Y1 E0.5"));
        // A copy of the queue would take over 20000 lines' worth, more than a megabyte.
        QVERIFY2(KvTest::heapInUse() - tBefore < 64 * 1024,
            qPrintable(QString::number(KvTest::heapInUse() - tBefore)));
    }
};

KV_TEST_MAIN(tst_PrinterFileQueue)
#include "tst_printerfile_queue.moc"
