#include "kvPlatform.h"
#include "kvStandardPaths.h"
#include "kvTestSupport.h"

#include <QStandardPaths>
#include <QTableWidget>

Q_DECLARE_METATYPE(QStandardPaths::StandardLocation)

namespace {

QTableWidget *table(kvStandardPaths &pDialog)
{
    return pDialog.findChild<QTableWidget *>(QStringLiteral("standardPathsTable"));
}

} // namespace

class tst_standardpaths : public QObject
{
    Q_OBJECT
private slots:
    void rows_data();
    void rows();
    void dataFoldersTheProgramUses();
};

void tst_standardpaths::rows_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("header");
    QTest::addColumn<QStandardPaths::StandardLocation>("location");
    const struct
    {
        const char *name;
        QStandardPaths::StandardLocation location;
    } tRows[] = {
        {"DesktopLocation", QStandardPaths::DesktopLocation},
        {"DocumentsLocation", QStandardPaths::DocumentsLocation},
        {"FontsLocation", QStandardPaths::FontsLocation},
        {"ApplicationsLocation", QStandardPaths::ApplicationsLocation},
        {"MusicLocation", QStandardPaths::MusicLocation},
        {"MoviesLocation", QStandardPaths::MoviesLocation},
        {"PicturesLocation", QStandardPaths::PicturesLocation},
        {"TempLocation", QStandardPaths::TempLocation},
        {"HomeLocation", QStandardPaths::HomeLocation},
        {"DataLocation", QStandardPaths::AppLocalDataLocation},
        {"CacheLocation", QStandardPaths::CacheLocation},
        {"GenericCacheLocation", QStandardPaths::GenericCacheLocation},
        {"GenericDataLocation", QStandardPaths::GenericDataLocation},
        {"RuntimeLocation", QStandardPaths::RuntimeLocation},
        {"ConfigLocation", QStandardPaths::ConfigLocation},
        {"DownloadLocation", QStandardPaths::DownloadLocation},
        {"GenericConfigLocation", QStandardPaths::GenericConfigLocation},
        {"AppDataLocation", QStandardPaths::AppDataLocation},
        {"AppLocalDataLocation", QStandardPaths::AppLocalDataLocation},
    };
    int tRow = 0;
    for (const auto &tEntry : tRows) {
        QTest::newRow(tEntry.name) << tRow << QString::fromLatin1(tEntry.name) << tEntry.location;
        ++tRow;
    }
}

void tst_standardpaths::rows()
{
    QFETCH(int, row);
    QFETCH(QString, header);
    QFETCH(QStandardPaths::StandardLocation, location);

    kvStandardPaths tDialog;
    QTableWidget *tTable = table(tDialog);
    QVERIFY(tTable);
    QCOMPARE(tTable->rowCount(), 19);
    QCOMPARE(tTable->columnCount(), 1);
    QCOMPARE(tTable->horizontalHeaderItem(0)->text(), QStringLiteral("Value"));
    QCOMPARE(tTable->verticalHeaderItem(row)->text(), header);
    QVERIFY(tTable->item(row, 0));
    QCOMPARE(tTable->item(row, 0)->text(), QStandardPaths::writableLocation(location));
}

void tst_standardpaths::dataFoldersTheProgramUses()
{
    kvStandardPaths tDialog;
    QTableWidget *tTable = table(tDialog);
    QCOMPARE(tDialog.windowTitle(), QStringLiteral("Dialog"));
    // The test runner gives every test its own data folder.
    const QString tGeneric = QString::fromLocal8Bit(qgetenv("XDG_DATA_HOME"));
    QVERIFY(!tGeneric.isEmpty());
    QCOMPARE(tTable->item(12, 0)->text(), tGeneric);
    QCOMPARE(tTable->item(12, 0)->text(), Kv::Platform::genericDataLocation());
    QCOMPARE(tTable->item(9, 0)->text(), tGeneric + QStringLiteral("/Kestrova"));
    QCOMPARE(tTable->item(9, 0)->text(), Kv::Platform::appDataLocation());
    QCOMPARE(tTable->item(8, 0)->text(), QString::fromLocal8Bit(qgetenv("HOME")));
}

KV_TEST_MAIN(tst_standardpaths)
#include "tst_standardpaths.moc"
