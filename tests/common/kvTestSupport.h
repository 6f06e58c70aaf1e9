#pragma once

#include <QCoreApplication>
#include <QImage>
#include <QList>
#include <QPair>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <memory>
#include <thread>

namespace KvTest {

// Application identity the product runs under: name "Kestrova", no organisation.
void setUpApplication();

// Path of a file in tests/data.
QString dataPath(const QString &pName);

// Bytes the C library's heap has handed out, or -1 where the heap cannot be watched
// (a sanitizer's allocator).
qint64 heapInUse();

// Writes pData to pPath, making its folder when missing; the path, or empty (and a
// failed check) when the file cannot be written whole.
QString writeFile(const QString &pPath, const QByteArray &pData);
// The same for a file named pName in pDir.
QString writeFile(const QTemporaryDir &pDir, const QString &pName, const QByteArray &pData);
// A shell script pName in pDir running pBody, executable by its owner.
QString writeProgram(const QTemporaryDir &pDir, const QString &pName, const QByteArray &pBody);
// The whole file, or empty when it cannot be read.
QByteArray readFile(const QString &pPath);

// Starts this test program again as the helper pName (see KV_TEST_MAIN_WITH_HELPER) with
// pArguments; false, with a failed check, when it does not start.
bool startHelper(QProcess &pProcess, const QString &pName, const QStringList &pArguments);

// For a helper: takes the lock file pPath as another copy of the program would, prints
// "locked" and holds it until its input ends; 1 when the lock cannot be taken.
int holdLockFile(const QString &pPath);

// A socket file at pPath, as a program that listens there leaves one; false when it cannot
// be made.
bool makeSocketFile(const QString &pPath);

// A named pipe that hands pData and its end to the first program that opens it for reading,
// and its end alone to any later one, for as long as it lives; from a thread of its own, so
// that a reader that blocks in its opening goes on. A pipe no one opens is left unread.
class PipeFeeder
{
public:
    PipeFeeder(const QString &pPath, const QByteArray &pData);
    ~PipeFeeder();
    PipeFeeder(const PipeFeeder &) = delete;
    PipeFeeder &operator=(const PipeFeeder &) = delete;

    bool isMade() const { return m_made; }
    // Someone opened the pipe for reading.
    bool wasRead() const { return m_read; }

private:
    void feed();

    QByteArray m_path;
    QByteArray m_data;
    bool m_made = false;
    std::atomic<bool> m_stop {false};
    std::atomic<bool> m_read {false};
    std::thread m_thread;
};

// Something at pPath that is no regular file, by pKind: "pipe" (a PipeFeeder handing
// pData), "socket", "device" (a link to /dev/zero) or "folder".
class NotAFile
{
public:
    NotAFile(const QString &pKind, const QString &pPath, const QByteArray &pData);

    bool isMade() const { return m_made; }
    // A pipe that someone opened.
    bool wasOpened() const { return m_pipe && m_pipe->wasRead(); }

private:
    std::unique_ptr<PipeFeeder> m_pipe;
    bool m_made = false;
};

// Folder a test program leaves files in for reading a failure after the run:
// $KV_TEST_ARTIFACTS, else test-artifacts/<program> in the build folder.
QString artifactDir();

// The pictures a test function grabbed. keepIfFailed(), called from cleanup(), saves them
// to artifactDir() when the function failed and names each file in the test's output. A run
// starts by emptying the folder, so what it holds is from the last run.
class Screenshots
{
public:
    Screenshots();
    void add(const QString &pName, const QImage &pImage);
    void keepIfFailed();

private:
    QList<QPair<QString, QImage>> m_images;
};

} // namespace KvTest

// QTEST_MAIN with the product's application identity.
#define KV_TEST_MAIN(TestObject)                                                                   \
    int main(int argc, char **argv)                                                                \
    {                                                                                              \
        QApplication tApp(argc, argv);                                                             \
        KvTest::setUpApplication();                                                                \
        QTEST_DISABLE_KEYPAD_NAVIGATION                                                            \
        TestObject tTest;                                                                          \
        QTEST_SET_MAIN_SOURCE_PATH                                                                 \
        return QTest::qExec(&tTest, argc, argv);                                                   \
    }

// KV_TEST_MAIN for a program that is also its own second process: started by startHelper,
// it runs pHelper(name, arguments) and returns its result instead of testing.
#define KV_TEST_MAIN_WITH_HELPER(TestObject, pHelper)                                              \
    int main(int argc, char **argv)                                                                \
    {                                                                                              \
        QApplication tApp(argc, argv);                                                             \
        KvTest::setUpApplication();                                                                \
        if (qEnvironmentVariableIsSet("KV_TEST_HELPER"))                                           \
            return pHelper(qEnvironmentVariable("KV_TEST_HELPER"), tApp.arguments().mid(1));       \
        QTEST_DISABLE_KEYPAD_NAVIGATION                                                            \
        TestObject tTest;                                                                          \
        QTEST_SET_MAIN_SOURCE_PATH                                                                 \
        return QTest::qExec(&tTest, argc, argv);                                                   \
    }
