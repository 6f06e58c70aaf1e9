#include "kvPrinterFile.h"
#include "kvSliceFixtures.h"
#include "kvTestSupport.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextStream>
#include <QVector3D>

#include <sys/resource.h>

#include <csignal>
#include <cstdio>

using namespace KvTest;

namespace {

// pCount facets in a row along x.
kvModel stripModel(int pCount)
{
    kvModel tModel;
    for (int i = 0; i < pCount; ++i)
        tModel.addTriangle(kvVertex(float(i), 0, 0), kvVertex(float(i) + 1, 0, 0),
            kvVertex(float(i), 1, 0), kvVector3D());
    return tModel;
}

// The second process: "save-limited" saves a strip of 8000 facets to the first argument
// with files limited to the second argument's bytes, as on a disk that fills; prints its
// status texts and answers 0 when the save was refused.
int runHelper(const QString &pName, const QStringList &pArguments)
{
    if (pName != QLatin1String("save-limited") || pArguments.size() != 2)
        return 2;
    // A write past the limit fails instead of ending the program.
    std::signal(SIGXFSZ, SIG_IGN);
    const rlim_t tLimit = pArguments.at(1).toULongLong();
    const rlimit tLimits {tLimit, tLimit};
    if (setrlimit(RLIMIT_FSIZE, &tLimits) != 0)
        return 3;
    kvPrinterFile tFile;
    QObject::connect(&tFile, &kvPrinterFile::StatusUpdate, [](const QString &pText) {
        std::printf("%s\n", qPrintable(pText));
        std::fflush(stdout);
    });
    return tFile.saveFile(pArguments.at(0), kvVector3D(), stripModel(8000)) ? 1 : 0;
}

} // namespace

class tst_STLWriter : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir *m_dir = nullptr;

private slots:
    void init()
    {
        m_dir = new QTemporaryDir;
        QVERIFY(m_dir->isValid());
    }

    void cleanup()
    {
        delete m_dir;
        m_dir = nullptr;
    }

    void saveFileWritesPlacedMesh_data()
    {
        QTest::addColumn<QVector3D>("rotation");
        QTest::addColumn<float>("scale");
        QTest::addColumn<QVector3D>("a");
        QTest::addColumn<QVector3D>("b");
        QTest::addColumn<QVector3D>("c");
        QTest::addColumn<QByteArray>("facet");

        const QVector3D tA(0, 0, 0), tB(1, 0, 0), tC(0, 1, 0);
        QTest::newRow("z 90, scale 2") << QVector3D(0, 0, 90) << 2.0f << tA << tB << tC
                                       << QByteArray(" facet normal 0 0 1\n"
                                                     "  outer loop\n"
                                                     "   vertex 0 0 0\n"
                                                     "   vertex 0 2 0\n"
                                                     "   vertex -2 0 0\n");
        QTest::newRow("x 90") << QVector3D(90, 0, 0) << 1.0f << tA << tB << tC
                              << QByteArray(" facet normal 0 -1 0\n"
                                            "  outer loop\n"
                                            "   vertex 0 0 0\n"
                                            "   vertex 1 0 0\n"
                                            "   vertex 0 0 1\n");
        // Turned about y first, then about x: (1, 0, 0) goes to (0, 0, -1), then to (0, 1, 0).
        QTest::newRow("x 90 and y 90") << QVector3D(90, 90, 0) << 1.0f << tA << tB << tC
                                       << QByteArray(" facet normal 1 0 0\n"
                                                     "  outer loop\n"
                                                     "   vertex 0 0 0\n"
                                                     "   vertex 0 1 0\n"
                                                     "   vertex 0 0 1\n");
        QTest::newRow("number format") << QVector3D(0, 0, 0) << 1.0f << QVector3D(1e-5f, 0, 0)
                                       << QVector3D(1234567, 0, 0) << QVector3D(1e-5f, -12.25f, 0)
                                       << QByteArray(" facet normal 0 0 -1\n"
                                                     "  outer loop\n"
                                                     "   vertex 1e-05 0 0\n"
                                                     "   vertex 1.23457e+06 0 0\n"
                                                     "   vertex 1e-05 -12.25 0\n");
        QTest::newRow("z 180 gives no negative zero")
            << QVector3D(0, 0, 180) << 1.0f << QVector3D(1, 0, 0) << QVector3D(0, 1, 0)
            << QVector3D(0, 0, 1)
            << QByteArray(" facet normal -0.57735 -0.57735 0.57735\n"
                          "  outer loop\n"
                          "   vertex -1 0 0\n"
                          "   vertex 0 -1 0\n"
                          "   vertex 0 0 1\n");
    }

    void saveFileWritesPlacedMesh()
    {
        QFETCH(QVector3D, rotation);
        QFETCH(float, scale);
        QFETCH(QVector3D, a);
        QFETCH(QVector3D, b);
        QFETCH(QVector3D, c);
        QFETCH(QByteArray, facet);

        kvPrinterFile tFile;
        const QString tPath = m_dir->filePath(QStringLiteral("placed.stl"));
        QVERIFY(tFile.saveFile(tPath, kvVector3D(rotation), oneTriangle(a, b, c), scale));
        QCOMPARE(fileBytes(tPath),
            QByteArray("solid\n") + facet + QByteArray("  endloop\n endfacet\nendsolid\n"));
    }

    // Coordinates are written the way a default text stream writes a float.
    void saveFileNumbers()
    {
        const QVector<float> tValues = {0.1f, 1.0f / 3.0f, -12.25f, 1e-5f, -0.000123456f, 123456.7f,
            999999.5f, 1234567.0f, 3.14159265f, 1e10f, -2.5e-12f, 65.4321f};
        kvModel tModel;
        QByteArray tExpected;
        QTextStream tStream(&tExpected);
        for (int i = 0; i + 2 < tValues.size(); i += 3) {
            const kvVector3D tA(tValues[i], tValues[i + 1], tValues[i + 2]);
            tModel.addTriangle(kvVertex(tA), kvVertex(tA + kvVector3D(1, 0, 0)),
                kvVertex(tA + kvVector3D(0, 1, 0)), kvVector3D());
            tStream << "   vertex " << tA.x() << ' ' << tA.y() << ' ' << tA.z() << '\n';
        }
        tStream.flush();
        kvPrinterFile tFile;
        const QString tPath = m_dir->filePath(QStringLiteral("numbers.stl"));
        QVERIFY(tFile.saveFile(tPath, kvVector3D(), tModel));
        QByteArray tFirstCorners;
        const QList<QByteArray> tLines = fileBytes(tPath).split('\n');
        for (int i = 0; i < tLines.size(); ++i) {
            if (tLines.at(i) == "  outer loop")
                tFirstCorners += tLines.at(i + 1) + '\n';
        }
        QCOMPARE(tFirstCorners, tExpected);
    }

    void saveFileProgress_data()
    {
        QTest::addColumn<int>("triangles");
        QTest::addColumn<QList<int>>("progress");
        QTest::newRow("four triangles") << 4 << QList<int> {25, 50, 75, 100, 100};
        QTest::newRow("empty model") << 0 << QList<int> {100};
        // One signal a percent, however many facets.
        QList<int> tPercents;
        for (int i = 0; i <= 100; ++i)
            tPercents << i;
        QTest::newRow("a thousand triangles") << 1000 << tPercents + QList<int> {100};
    }

    void saveFileProgress()
    {
        QFETCH(int, triangles);
        QFETCH(QList<int>, progress);

        kvModel tModel;
        for (int i = 0; i < triangles; ++i)
            tModel.addTriangle(kvVertex(float(i), 0, 0), kvVertex(float(i) + 1, 0, 0),
                kvVertex(float(i), 1, 0), kvVector3D());
        kvPrinterFile tFile;
        QSignalSpy tProgress(&tFile, &kvPrinterFile::SaveFileProgress);
        const QString tPath = m_dir->filePath(QStringLiteral("progress.stl"));
        QVERIFY(tFile.saveFile(tPath, kvVector3D(), tModel));
        QCOMPARE(intValues(tProgress), progress);
        const QByteArray tText = fileBytes(tPath);
        QCOMPARE(tText.count("endfacet\n"), triangles);
        if (triangles == 0)
            QCOMPARE(tText, QByteArray("solid\nendsolid\n"));
    }

    void saveFileCannotOpen_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("reason");
        QTest::newRow("missing folder") << "missing/x.stl"
                                        << "No such file or directory";
        QTest::newRow("a folder in the file's place") << "folder.stl"
                                                      << "Filename refers to a directory";
    }

    // The status names the file and the reason.
    void saveFileCannotOpen()
    {
        QFETCH(QString, name);
        QFETCH(QString, reason);

        QVERIFY(QDir().mkpath(m_dir->filePath(QStringLiteral("folder.stl"))));
        const QString tPath = m_dir->filePath(name);
        kvPrinterFile tFile;
        QSignalSpy tProgress(&tFile, &kvPrinterFile::SaveFileProgress);
        QSignalSpy tStatus(&tFile, &kvPrinterFile::StatusUpdate);
        QVERIFY(!tFile.saveFile(tPath, kvVector3D(), cubeModel(1.0f)));
        QCOMPARE(textValues(tStatus),
            QStringList {QStringLiteral("kvPrinterFile::saveFile: Failed to open file! ")
                + QDir::toNativeSeparators(tPath) + QStringLiteral(": ") + reason});
        QCOMPARE(tProgress.count(), 0);
    }

    // A disk that fills while saving leaves the file that was there, and no part of the new.
    void saveFileFullDiskKeepsTheOldFile()
    {
        const QString tPath = m_dir->filePath(QStringLiteral("part.stl"));
        writeFile(tPath, "an earlier part\n");
        QProcess tHelper;
        QVERIFY(startHelper(
            tHelper, QStringLiteral("save-limited"), {tPath, QString::number(64 * 1024)}));
        QVERIFY(tHelper.waitForFinished(30000));
        QCOMPARE(tHelper.exitStatus(), QProcess::NormalExit);
        const QStringList tStatus
            = QString::fromUtf8(tHelper.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(tHelper.exitCode(), 0);
        QCOMPARE(tStatus.value(tStatus.size() - 1),
            QStringLiteral("kvPrinterFile::saveFile: Failed to write file! ")
                + QDir::toNativeSeparators(tPath) + QStringLiteral(": File too large"));
        QCOMPARE(fileBytes(tPath), QByteArray("an earlier part\n"));
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), QStringList {"part.stl"});
    }

    // The reason of a failed write reaches the status text.
    void saveFileWriteFails()
    {
        if (!QFileInfo::exists(QStringLiteral("/dev/full")))
            QSKIP("needs /dev/full");
        kvPrinterFile tFile;
        QSignalSpy tStatus(&tFile, &kvPrinterFile::StatusUpdate);
        QSignalSpy tProgress(&tFile, &kvPrinterFile::SaveFileProgress);
        // Large enough for the writer to hand over more than one block.
        kvModel tModel;
        for (int i = 0; i < 6000; ++i)
            tModel.addTriangle(kvVertex(float(i), 0, 0), kvVertex(float(i) + 1, 0, 0),
                kvVertex(float(i), 1, 0), kvVector3D());
        QVERIFY(!tFile.saveFile(QStringLiteral("/dev/full"), kvVector3D(), tModel));
        QCOMPARE(textValues(tStatus).last(),
            QStringLiteral("kvPrinterFile::saveFile: Failed to write file! /dev/full: No space "
                           "left on device"));
        QCOMPARE(intValues(tProgress).count(100), 1); // the last facet's, no closing 100
    }

    void saveFileRefusesNonFiniteNumbers_data()
    {
        QTest::addColumn<QVector3D>("rotation");
        QTest::addColumn<float>("scale");
        QTest::addColumn<QVector3D>("a");
        QTest::addColumn<QVector3D>("b");
        QTest::addColumn<QVector3D>("c");

        QTest::newRow("corners past the largest float when scaled")
            << QVector3D() << 100.0f << QVector3D(3.5e36f, 0, 0) << QVector3D(3.5e36f, 1, 0)
            << QVector3D(3.5e36f, 0, 1);
        QTest::newRow("turned and scaled")
            << QVector3D(0, 0, 45) << 100.0f << QVector3D(3e36f, 3e36f, 0)
            << QVector3D(3e36f, 3e36f, 1) << QVector3D(3e36f, 0, 0);
        // Finite corners whose edges are too long for a normal.
        QTest::newRow("normal of a huge facet") << QVector3D() << 1.0f << QVector3D(0, 0, 0)
                                                << QVector3D(4e36f, 0, 0) << QVector3D(0, 4e36f, 0);
    }

    // "inf" or "nan" is never written: the file is refused, and the one it was to replace
    // stays byte for byte.
    void saveFileRefusesNonFiniteNumbers()
    {
        QFETCH(QVector3D, rotation);
        QFETCH(float, scale);
        QFETCH(QVector3D, a);
        QFETCH(QVector3D, b);
        QFETCH(QVector3D, c);

        // More than one write block of good facets comes first.
        kvModel tModel;
        for (int i = 0; i < 8000; ++i)
            tModel.addTriangle(kvVertex(float(i), 0, 0), kvVertex(float(i) + 1, 0, 0),
                kvVertex(float(i), 1, 0), kvVector3D());
        tModel.addTriangle(kvVertex(kvVector3D(a)), kvVertex(kvVector3D(b)),
            kvVertex(kvVector3D(c)), kvVector3D());
        const QString tPath = m_dir->filePath(QStringLiteral("far.stl"));
        writeFile(tPath, "an earlier part\n");
        kvPrinterFile tFile;
        QSignalSpy tStatus(&tFile, &kvPrinterFile::StatusUpdate);
        QSignalSpy tProgress(&tFile, &kvPrinterFile::SaveFileProgress);
        QVERIFY(!tFile.saveFile(tPath, kvVector3D(rotation), tModel, scale));
        QCOMPARE(fileBytes(tPath), QByteArray("an earlier part\n"));
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), QStringList {"far.stl"});
        QCOMPARE(textValues(tStatus).last(),
            QStringLiteral("kvPrinterFile::saveFile: The part is too large to save at scale %1: "
                           "its coordinates would not be finite numbers. Nothing was saved.")
                .arg(double(scale)));
        QVERIFY(!intValues(tProgress).contains(100));
    }
};

KV_TEST_MAIN_WITH_HELPER(tst_STLWriter, runHelper)
#include "tst_stlwriter.moc"
