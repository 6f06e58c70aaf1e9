#include "kvDialogRecorder.h"
#include "kvFileSizeLimit.h"
#include "kvLogger.h"
#include "kvTestSupport.h"

#include <QDateTime>
#include <QDir>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cerrno>
#include <cstring>
#include <memory>

using namespace Kv::Defines;

namespace {

const char *kRule = "######################################";

QStringList readLines(const QString &pPath)
{
    QFile tFile(pPath);
    if (!tFile.open(QIODevice::ReadOnly))
        return {};
    const QString tText = QString::fromUtf8(tFile.readAll());
    // Every line ends with "\n": the last split element is empty.
    QStringList tLines = tText.split('\n');
    if (!tLines.isEmpty() && tLines.last().isEmpty())
        tLines.removeLast();
    return tLines;
}

} // namespace

class tst_logger : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void constructedState();
    void levelOffWritesNothing();
    void logBeforeCreateWritesNothing();
    void createWritesHeader();
    void logAppendsOneLine_data();
    void logAppendsOneLine();
    void missingFolderShowsMessage();
    void vanishedFolderDropsLines();
    void failedWriteDoesNotSilenceLaterLines();
    void deletedFileIsMadeAgain();
    void lostLinesAreSaidOnce_data();
    void lostLinesAreSaidOnce();
    void createOnAFullDiskMakesNoLog();
    void manyLinesKeepNoMemory();

private:
    QString dataFolder() const { return m_data->filePath("Kestrova"); }
    QString logPath(const kvLogger &pLogger) const
    {
        return QDir(dataFolder()).filePath(pLogger.fileName());
    }
    QStringList logFiles() const
    {
        return QDir(dataFolder()).entryList({"Kestrova_log*"}, QDir::Files);
    }

    QTemporaryDir *m_data = nullptr;
};

void tst_logger::init()
{
    // Each test gets its own data folder, wherever the test is run from.
    m_data = new QTemporaryDir;
    QVERIFY(m_data->isValid());
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_data->path()));
    QVERIFY(QDir().mkpath(dataFolder()));
    QCOMPARE(QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation), dataFolder());
}

void tst_logger::cleanup()
{
    delete m_data;
    m_data = nullptr;
}

void tst_logger::constructedState()
{
    QObject tParent;
    auto *tLogger = new kvLogger(&tParent);
    QCOMPARE(tLogger->parent(), &tParent);
    QVERIFY(!tLogger->isCreated());
    QVERIFY(tLogger->fileName().isEmpty());
    QCOMPARE(tLogger->logLevel(), LoggerLevelOff);
    tLogger->setLogLevel(LoggerLevelAll);
    QCOMPARE(tLogger->logLevel(), LoggerLevelAll);
}

void tst_logger::levelOffWritesNothing()
{
    KvTest::DialogRecorder tDialogs;
    kvLogger tLogger;
    tLogger.create();
    tLogger.log("dropped");
    QVERIFY(!tLogger.isCreated());
    QVERIFY(tLogger.fileName().isEmpty());
    QVERIFY(logFiles().isEmpty());
    QVERIFY(tDialogs.requests.isEmpty());

    // Switching the level off after creation stops the writing too.
    tLogger.setLogLevel(LoggerLevelAll);
    tLogger.create();
    QVERIFY(tLogger.isCreated());
    tLogger.setLogLevel(LoggerLevelOff);
    tLogger.log("dropped");
    QCOMPARE(readLines(logPath(tLogger)).size(), 4);
}

void tst_logger::logBeforeCreateWritesNothing()
{
    kvLogger tLogger;
    tLogger.setLogLevel(LoggerLevelAll);
    tLogger.log("too early");
    QVERIFY(logFiles().isEmpty());
    // A stored name alone does not make a log.
    tLogger.setFileName("Kestrova_log[manual].txt");
    QCOMPARE(tLogger.fileName(), QString("Kestrova_log[manual].txt"));
    tLogger.log("too early");
    QVERIFY(logFiles().isEmpty());
}

void tst_logger::createWritesHeader()
{
    KvTest::DialogRecorder tDialogs;
    kvLogger tLogger;
    tLogger.setLogLevel(LoggerLevelAll);
    const QDateTime tBefore = QDateTime::currentDateTime();
    tLogger.create();
    const QDateTime tAfter = QDateTime::currentDateTime();
    QVERIFY(tLogger.isCreated());
    QVERIFY(tDialogs.requests.isEmpty());
    QCOMPARE(logFiles(), QStringList {tLogger.fileName()});

    const QRegularExpression tNamePattern(
        R"(^Kestrova_log\[(\d\d\.\d\d\.\d{4}_\d\d\.\d\d\.\d\d\.\d{3})\]\.txt$)");
    const QRegularExpressionMatch tName = tNamePattern.match(tLogger.fileName());
    QVERIFY2(tName.hasMatch(), qPrintable(tLogger.fileName()));
    const QDateTime tCreated = QDateTime::fromString(tName.captured(1), "MM.dd.yyyy_hh.mm.ss.zzz");
    QVERIFY(tCreated.isValid());
    QVERIFY(tCreated >= tBefore.addMSecs(-1) && tCreated <= tAfter);

    const QStringList tLines = readLines(logPath(tLogger));
    QCOMPARE(tLines.size(), 4);
    QCOMPARE(tLines[0], QString(kRule));
    QCOMPARE(tLines[1], QString("# Kestrova (1.2.3) Print Log File   #"));
    // The same instant as the file name, in the other format.
    QCOMPARE(tLines[2], "# Created: " + tCreated.toString("MM-dd-yyyy hh:mm:ss.zzz") + "   #");
    QCOMPARE(tLines[3], QString(kRule));
}

void tst_logger::logAppendsOneLine_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("plain") << "kvPrinter::Tovra (ttyACM0): M105"
                           << QStringList {"kvPrinter::Tovra (ttyACM0): M105"};
    QTest::newRow("empty") << "" << QStringList {""};
    QTest::newRow("line break kept") << "ok T:20\nok" << QStringList {"ok T:20", "ok"};
    QTest::newRow("non-ASCII") << QString::fromUtf8("21.5 °C")
                               << QStringList {QString::fromUtf8("21.5 °C")};
}

void tst_logger::logAppendsOneLine()
{
    QFETCH(QString, message);
    QFETCH(QStringList, lines);
    kvLogger tLogger;
    tLogger.setLogLevel(LoggerLevelAll);
    tLogger.create();
    tLogger.log("first");

    const QDateTime tBefore = QDateTime::currentDateTime();
    tLogger.log(message);
    const QDateTime tAfter = QDateTime::currentDateTime();

    // The line is in the file as soon as log returns, after the earlier ones.
    const QStringList tLines = readLines(logPath(tLogger));
    QCOMPARE(tLines.size(), 5 + lines.size());
    QVERIFY(tLines[4].endsWith("] first"));

    const QRegularExpression tStamp(R"(^\[(\d\d\.\d\d\.\d{4} \d\d\.\d\d\.\d\d\.\d{3})\] )");
    const QRegularExpressionMatch tMatch = tStamp.match(tLines[5]);
    QVERIFY2(tMatch.hasMatch(), qPrintable(tLines[5]));
    const QDateTime tWritten = QDateTime::fromString(tMatch.captured(1), "MM.dd.yyyy hh.mm.ss.zzz");
    QVERIFY(tWritten >= tBefore.addMSecs(-1) && tWritten <= tAfter);

    QStringList tMessage = tLines.mid(5);
    tMessage[0] = tMessage[0].mid(tMatch.capturedLength());
    QCOMPARE(tMessage, lines);
}

void tst_logger::missingFolderShowsMessage()
{
    QVERIFY(QDir(dataFolder()).removeRecursively());
    KvTest::DialogRecorder tDialogs;
    kvLogger tLogger;
    tLogger.setLogLevel(LoggerLevelAll);
    tLogger.create();

    QVERIFY(!tLogger.isCreated());
    QVERIFY(tLogger.fileName().startsWith("Kestrova_log["));
    QCOMPARE(tDialogs.requests.size(), 1);
    const kvDialogs::Request tBox = tDialogs.requests.first();
    QCOMPARE(tBox.title, QString("Logger"));
    QCOMPARE(tBox.text, "Could not open: " + QDir(logPath(tLogger)).absolutePath());
    QVERIFY(tBox.parent == nullptr);

    // The logger creates no folder, and later lines go nowhere.
    tLogger.log("dropped");
    QVERIFY(!QDir(dataFolder()).exists());
    QCOMPARE(tDialogs.requests.size(), 1);

    // Trying again once the folder exists gives a working log.
    QVERIFY(QDir().mkpath(dataFolder()));
    tLogger.create();
    QVERIFY(tLogger.isCreated());
    tLogger.log("now");
    QCOMPARE(readLines(logPath(tLogger)).size(), 5);
}

void tst_logger::vanishedFolderDropsLines()
{
    KvTest::DialogRecorder tDialogs;
    kvLogger tLogger;
    tLogger.setLogLevel(LoggerLevelAll);
    tLogger.create();
    QVERIFY(tLogger.isCreated());
    QVERIFY(QDir(dataFolder()).removeRecursively());

    tLogger.log("dropped");
    QVERIFY(!QDir(dataFolder()).exists());
    QVERIFY(tDialogs.requests.isEmpty());
    QVERIFY(tLogger.isCreated());
}

void tst_logger::failedWriteDoesNotSilenceLaterLines()
{
    if (!QFileInfo::exists("/dev/full"))
        QSKIP("needs /dev/full");
    kvLogger tLogger;
    tLogger.setLogLevel(LoggerLevelAll);
    tLogger.create();
    const QString tPath = logPath(tLogger);
    const QString tKept = tPath + ".kept";

    // A full disk for one line...
    QVERIFY(QFile::rename(tPath, tKept));
    QVERIFY(QFile::link("/dev/full", tPath));
    tLogger.log("lost");
    // ...then space again.
    QVERIFY(QFile::remove(tPath));
    QVERIFY(QFile::rename(tKept, tPath));
    tLogger.log("after");

    const QStringList tLines = readLines(tPath);
    QCOMPARE(tLines.size(), 5);
    QVERIFY(tLines[4].endsWith("] after"));
}

void tst_logger::deletedFileIsMadeAgain()
{
    kvLogger tLogger;
    tLogger.setLogLevel(LoggerLevelAll);
    tLogger.create();
    tLogger.log("first");
    const QString tPath = logPath(tLogger);
    QVERIFY(QFile::remove(tPath));

    tLogger.log("second");
    tLogger.log("third");
    const QStringList tLines = readLines(tPath);
    QCOMPARE(tLines.size(), 2);
    QVERIFY(tLines[0].endsWith("] second"));
    QVERIFY(tLines[1].endsWith("] third"));
}

void tst_logger::lostLinesAreSaidOnce_data()
{
    QTest::addColumn<QString>("trouble");
    QTest::addColumn<QString>("reason"); // empty: whatever the system says
    QTest::newRow("full disk") << "full" << QString::fromLocal8Bit(strerror(ENOSPC));
    QTest::newRow("room for half a line") << "half" << QString();
    QTest::newRow("folder gone") << "gone" << QString::fromLocal8Bit(strerror(ENOENT));
}

// A log that can no longer be written says so once, loses its lines meanwhile, leaves no
// half line, and says when it writes again.
void tst_logger::lostLinesAreSaidOnce()
{
    QFETCH(QString, trouble);
    QFETCH(QString, reason);
    if (trouble == QLatin1String("full") && !QFileInfo::exists("/dev/full"))
        QSKIP("needs /dev/full");
    kvLogger tLogger;
    tLogger.setLogLevel(LoggerLevelAll);
    tLogger.create();
    tLogger.log("first");
    const QString tPath = logPath(tLogger);
    const QByteArray tBefore = KvTest::readFile(tPath);
    QSignalSpy tFailed(&tLogger, &kvLogger::WriteFailed);
    QSignalSpy tResumed(&tLogger, &kvLogger::WriteResumed);
    const QString tKept = m_data->filePath("kept.txt");
    {
        std::unique_ptr<KvTest::FileSizeLimit> tLimit;
        if (trouble == QLatin1String("full")) {
            QVERIFY(QFile::rename(tPath, tKept));
            QVERIFY(QFile::link("/dev/full", tPath));
        } else if (trouble == QLatin1String("half")) {
            tLimit.reset(new KvTest::FileSizeLimit(rlim_t(tBefore.size() + 10)));
            QVERIFY(tLimit->isActive());
        } else {
            QVERIFY(QFile::rename(tPath, tKept));
            QVERIFY(QDir(dataFolder()).removeRecursively());
        }
        for (int i = 0; i < 3; ++i)
            tLogger.log(QStringLiteral("a line too long for what is left: ") + QString(40, 'x'));
        QCOMPARE(tFailed.count(), 1);
        QCOMPARE(tFailed.first().at(0).toString(), tPath);
        if (!reason.isEmpty())
            QCOMPARE(tFailed.first().at(1).toString(), reason);
        QVERIFY(!tFailed.first().at(1).toString().isEmpty());
        QVERIFY(!tLogger.isWriting());
        QVERIFY(tLogger.isCreated());
        QCOMPARE(tResumed.count(), 0);
        if (trouble == QLatin1String("half"))
            QCOMPARE(KvTest::readFile(tPath), tBefore);
    }
    if (trouble == QLatin1String("full"))
        QVERIFY(QFile::remove(tPath));
    if (trouble != QLatin1String("half")) {
        QVERIFY(QDir().mkpath(dataFolder()));
        QVERIFY(QFile::rename(tKept, tPath));
    }
    tLogger.log("again");
    QCOMPARE(tResumed.count(), 1);
    QCOMPARE(tFailed.count(), 1);
    QVERIFY(tLogger.isWriting());
    QCOMPARE(KvTest::readFile(tPath).left(tBefore.size()), tBefore);
    const QStringList tLines = readLines(tPath);
    QCOMPARE(tLines.size(), 6);
    QVERIFY(tLines.last().endsWith("] again"));
}

// A log whose header finds no room is no log: nothing to tick, and the box says why.
void tst_logger::createOnAFullDiskMakesNoLog()
{
    KvTest::DialogRecorder tDialogs;
    kvLogger tLogger;
    tLogger.setLogLevel(LoggerLevelAll);
    {
        KvTest::FileSizeLimit tFull(0);
        QVERIFY(tFull.isActive());
        tLogger.create();
    }
    QVERIFY(!tLogger.isCreated());
    QVERIFY(!tLogger.isWriting());
    QCOMPARE(tDialogs.requests.size(), 1);
    QCOMPARE(tDialogs.requests.first().title, QString("Logger"));
    QCOMPARE(tDialogs.requests.first().text,
        "Could not write: " + QDir(logPath(tLogger)).absolutePath() + " ("
            + QString::fromLocal8Bit(strerror(EFBIG)) + ")");
    QVERIFY(logFiles().isEmpty());

    // Room again: the next try makes a log.
    tLogger.create();
    QVERIFY(tLogger.isWriting());
    QCOMPARE(readLines(logPath(tLogger)).size(), 4);
}

// A logged print writes millions of lines; each must leave nothing behind.
void tst_logger::manyLinesKeepNoMemory()
{
    kvLogger tLogger;
    tLogger.setLogLevel(LoggerLevelAll);
    tLogger.create();
    tLogger.log("warm up");
    const qint64 tBefore = KvTest::heapInUse();
    if (tBefore < 0)
        QSKIP("the heap cannot be watched under this allocator");
    for (int i = 0; i < 20000; ++i)
        tLogger.log(QStringLiteral("kvPrinter::Tovra (ttyACM0): G1 X10 Y10 E0.5"));
    const qint64 tGrowth = KvTest::heapInUse() - tBefore;
    QVERIFY2(tGrowth < 256 * 1024, qPrintable(QString::number(tGrowth)));
    QCOMPARE(readLines(logPath(tLogger)).size(), 4 + 1 + 20000);
}

KV_TEST_MAIN(tst_logger)
#include "tst_logger.moc"
