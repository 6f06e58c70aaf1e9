#include "kvPaths.h"
#include "kvSlic3rSetting.h"
#include "kvTestSupport.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using KvTest::readFile;
using KvTest::writeFile;

using namespace Kv::Defines;

class tst_Slic3rSettings : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir *m_dir = nullptr;

    QString kindFolder(const QString &pKind) const { return Kv::Paths::Slic3rAppData + pKind; }

    // Owner, group and other bits of a file; the user bits only repeat the owner's.
    static QFileDevice::Permissions modeBits(const QString &pPath)
    {
        return QFile::permissions(pPath)
            & ~(QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser);
    }

    // Profiles are text for the slicer, never programs: rw-r--r--.
    static QFileDevice::Permissions plainFile()
    {
        return QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup
            | QFileDevice::ReadOther;
    }

    static int foundCount()
    {
        int tFound = 0;
        for (const auto &tList : qAsConst(kvSlic3rSetting::InstalledSlic3rSettings)) {
            for (const kvSlic3rSetting &tSetting : tList)
                tFound += tSetting.Found() ? 1 : 0;
        }
        return tFound;
    }

    static const kvSlic3rSetting *record(kvSlic3rSettingType pType, const QString &pName)
    {
        for (const kvSlic3rSetting &tSetting : kvSlic3rSetting::InstalledSlic3rSettings[pType]) {
            if (tSetting.ResourceName() == pName)
                return &tSetting;
        }
        return nullptr;
    }

private slots:
    void init()
    {
        m_dir = new QTemporaryDir;
        QVERIFY(m_dir->isValid());
        // Parents of the slicer's folder are missing too, as on a fresh account.
        Kv::Paths::Slic3rAppData
            = QDir::toNativeSeparators(m_dir->path() + "/share/missing/Slic3r/");
        kvSlic3rSetting::InstalledSlic3rSettings.clear();
    }

    void cleanup()
    {
        delete m_dir;
        m_dir = nullptr;
    }

    void typeText_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("text");
        QTest::newRow("none") << 0 << "None";
        QTest::newRow("print") << 1 << "print";
        QTest::newRow("printer") << 2 << "printer";
        QTest::newRow("filament") << 3 << "filament";
        QTest::newRow("above") << 4 << "";
        QTest::newRow("negative") << -1 << "";
    }

    void typeText()
    {
        QFETCH(int, type);
        QFETCH(QString, text);
        QCOMPARE(Kv::slic3rSettingTypeToString(kvSlic3rSettingType(type)), text);
    }

    void recordDerivesNamesFromInfos()
    {
        kvSlic3rSetting tEmpty;
        QCOMPARE(tEmpty.Type(), Slic3rSettingTypeNone);
        QVERIFY(!tEmpty.Found());
        QVERIFY(tEmpty.InstalledName().isEmpty());

        kvSlic3rSetting tSetting(
            Slic3rSettingTypePrint, QFileInfo(":/print/Halvarn Low.ini"), true);
        QCOMPARE(tSetting.ResourceName(), QString("Halvarn Low.ini"));
        QVERIFY(tSetting.Found());
        QVERIFY(tSetting.InstalledName().isEmpty());
        tSetting.setInstalledInfo(QFileInfo("/somewhere/print/Halvarn Low.ini"));
        QCOMPARE(tSetting.InstalledName(), QString("Halvarn Low.ini"));
    }

    void tableHoldsEveryEmbeddedProfile()
    {
        Kv::validateSlic3rSettings();
        const auto &tTable = kvSlic3rSetting::InstalledSlic3rSettings;
        QCOMPARE(tTable.size(), 3);
        QCOMPARE(tTable[Slic3rSettingTypePrint].size(), 6);
        QCOMPARE(tTable[Slic3rSettingTypePrinter].size(), 5);
        QCOMPARE(tTable[Slic3rSettingTypeFilament].size(), 2);
        QCOMPARE(foundCount(), 0);
        const kvSlic3rSetting *tLow = record(Slic3rSettingTypePrint, "Halvarn Low.ini");
        QVERIFY(tLow);
        QCOMPARE(tLow->ResourceInfo().filePath(), QString(":/print/Halvarn Low.ini"));
        QCOMPARE(tLow->Type(), Slic3rSettingTypePrint);
    }

    void installIntoEmptyDataFolder()
    {
        Kv::validateSlic3rSettings();
        QVERIFY(Kv::copySlic3rSettings(false));
        // The copy does not update the table by itself.
        QCOMPARE(foundCount(), 0);
        Kv::validateSlic3rSettings();
        QCOMPARE(foundCount(), 13);

        int tFiles = 0;
        for (const auto &tList : qAsConst(kvSlic3rSetting::InstalledSlic3rSettings)) {
            for (const kvSlic3rSetting &tSetting : tList) {
                const QString tPath = kindFolder(Kv::slic3rSettingTypeToString(tSetting.Type()))
                    + "/" + tSetting.ResourceName();
                QVERIFY2(QFile::exists(tPath), qPrintable(tPath));
                QCOMPARE(modeBits(tPath), plainFile());
                QCOMPARE(readFile(tPath), readFile(tSetting.ResourceInfo().filePath()));
                QCOMPARE(tSetting.InstalledName(), tSetting.ResourceName());
                QCOMPARE(QFileInfo(tSetting.InstalledInfo().absoluteFilePath()), QFileInfo(tPath));
                ++tFiles;
            }
        }
        QCOMPARE(tFiles, 13);
    }

    void restoreDefaultsReplacesEditedProfiles()
    {
        Kv::validateSlic3rSettings();
        QVERIFY(Kv::copySlic3rSettings(false));
        Kv::validateSlic3rSettings();

        const QString tEdited = kindFolder("print") + "/Halvarn Low.ini";
        const QString tForeign = kindFolder("print") + "/My Part.ini";
        writeFile(tEdited, "layer_height = 0.05\n");
        writeFile(tForeign, "layer_height = 0.4\n");

        // Installed profiles are left as the user made them.
        QVERIFY(Kv::copySlic3rSettings(false));
        QCOMPARE(readFile(tEdited), QByteArray("layer_height = 0.05\n"));

        QVERIFY(Kv::copySlic3rSettings(true));
        QCOMPARE(readFile(tEdited), readFile(":/print/Halvarn Low.ini"));
        QCOMPARE(modeBits(tEdited), plainFile());
        QCOMPARE(readFile(tForeign), QByteArray("layer_height = 0.4\n"));
    }

    void foreignAndCapitalisedFilesAreListedOnly()
    {
        writeFile(kindFolder("print") + "/Halvarn Low.INI", "x = 1\n");
        writeFile(kindFolder("print") + "/b part.ini", "x = 1\n");
        writeFile(kindFolder("print") + "/A part.ini", "x = 1\n");
        writeFile(kindFolder("print") + "/notes.txt", "x = 1\n");
        writeFile(kindFolder("printer") + "/Halvarn 6x6.ini", "x = 1\n");

        Kv::validateSlic3rSettings();
        QCOMPARE(foundCount(), 1);
        QVERIFY(record(Slic3rSettingTypePrinter, "Halvarn 6x6.ini")->Found());
        QVERIFY(!record(Slic3rSettingTypePrint, "Halvarn Low.ini")->Found());

        QVector<QString> tPrint, tFilament, tPrinter;
        Kv::loadSlic3rSettings(tPrint, tFilament, tPrinter);
        QCOMPARE(tPrint, QVector<QString>({"A part.ini", "b part.ini", "Halvarn Low.INI"}));
        QVERIFY(tFilament.isEmpty());
        QCOMPARE(tPrinter, QVector<QString>({"Halvarn 6x6.ini"}));

        QComboBox tPrintBox, tFilamentBox, tPrinterBox;
        tFilamentBox.addItem("stale");
        Kv::loadSlic3rSettings(&tPrintBox, &tFilamentBox, &tPrinterBox);
        QCOMPARE(tPrintBox.count(), 3);
        QCOMPARE(tPrintBox.itemText(2), QString("Halvarn Low.INI"));
        QCOMPARE(tFilamentBox.count(), 0);
        QCOMPARE(tPrinterBox.itemText(0), QString("Halvarn 6x6.ini"));
    }

    void folderThatCannotBeMade()
    {
        writeFile(m_dir->path() + "/plain-file", "x");
        Kv::Paths::Slic3rAppData = QDir::toNativeSeparators(m_dir->path() + "/plain-file/Slic3r/");
        Kv::validateSlic3rSettings();
        QVERIFY(!Kv::copySlic3rSettings(false));
    }

    void kindFolderThatCannotBeMade()
    {
        QVERIFY(QDir().mkpath(Kv::Paths::Slic3rAppData));
        writeFile(Kv::Paths::Slic3rAppData + "print", "not a folder");
        Kv::validateSlic3rSettings();
        QVERIFY(!Kv::copySlic3rSettings(false));
    }
};

KV_TEST_MAIN(tst_Slic3rSettings)
#include "tst_slic3rsettings.moc"
