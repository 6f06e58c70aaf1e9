#include "kvPrinter.h"
#include "kvPrinterTypes.h"
#include "kvTestSupport.h"

#include <QFile>
#include <QTableWidget>
#include <QTemporaryDir>

namespace {

QTableWidget *table(kvPrinterTypes &pDialog)
{
    return pDialog.findChild<QTableWidget *>(QStringLiteral("tableWidget"));
}

QStringList rowTexts(kvPrinterTypes &pDialog, int pRow)
{
    QTableWidget *tTable = table(pDialog);
    QStringList tTexts;
    for (int tColumn = 0; tColumn < tTable->columnCount(); ++tColumn) {
        const QTableWidgetItem *tItem = tTable->item(pRow, tColumn);
        tTexts << (tItem ? tItem->text() : QStringLiteral("<none>"));
    }
    return tTexts;
}

kvPrinterSettings *addType(
    const QString &pFirmware, const QString &pName, kvVector3D pBed, int pProbe)
{
    auto *tType = new kvPrinterSettings();
    tType->setFirmwareName(pFirmware);
    tType->setPrinterName(pName);
    tType->setBedSize(pBed);
    tType->setProbe(Kv::Defines::kvPrinterProbe(pProbe));
    tType->setSlic3rPrinterSetting(pName + QStringLiteral(".ini"));
    tType->setSlic3rFilamentSetting(QStringLiteral("Halvarn 1.75mm.ini"));
    kvPrinter::PrinterTypes.append(tType);
    return tType;
}

} // namespace

class tst_printertypesdialog : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();
    void emptyTableHasHeadersOnly();
    void oneRowPerEntry();
    void entriesFromTheFile();
    void editsStayInTheDialog();
};

void tst_printertypesdialog::cleanup()
{
    kvPrinter::clearPrinterTypes();
}

void tst_printertypesdialog::emptyTableHasHeadersOnly()
{
    kvPrinterTypes tDialog;
    QTableWidget *tTable = table(tDialog);
    QVERIFY(tTable);
    QCOMPARE(tDialog.objectName(), QStringLiteral("kvPrinterTypes"));
    QCOMPARE(tDialog.windowTitle(), QStringLiteral("Dialog"));
    QCOMPARE(tTable->rowCount(), 0);
    const QStringList tHeaders = {"Name", "Firmware", "Bed X", "Bed Y", "Bed Z", "Probe",
        "Slic3r Printer", "Slic3r Filament"};
    QCOMPARE(tTable->columnCount(), tHeaders.size());
    for (int tColumn = 0; tColumn < tHeaders.size(); ++tColumn)
        QCOMPARE(tTable->horizontalHeaderItem(tColumn)->text(), tHeaders.at(tColumn));
}

void tst_printertypesdialog::oneRowPerEntry()
{
    addType(QStringLiteral("Halvarn_Tovra"), QStringLiteral("Halvarn Tovra"),
        kvVector3D(203.2f, 152.4f, 150.0f), 1);
    addType(QStringLiteral("Halvarn_6x6"), QStringLiteral("Halvarn 6x6"),
        kvVector3D(150, 150, 0.1f), 0);
    addType(QStringLiteral("Unprobed"), QStringLiteral("Unprobed"),
        kvVector3D(123456789.0f, 1e-7f, 0), kvPrinterSettings::NoProbe);

    kvPrinterTypes tDialog;
    QCOMPARE(table(tDialog)->rowCount(), 3);
    QCOMPARE(rowTexts(tDialog, 0),
        QStringList({"Halvarn Tovra", "Halvarn_Tovra", "203.2", "152.4", "150", "1",
            "Halvarn Tovra.ini", "Halvarn 1.75mm.ini"}));
    QCOMPARE(rowTexts(tDialog, 1),
        QStringList({"Halvarn 6x6", "Halvarn_6x6", "150", "150", "0.1", "0", "Halvarn 6x6.ini",
            "Halvarn 1.75mm.ini"}));
    // Six significant digits at most; no probe kind given shows nothing.
    QCOMPARE(rowTexts(tDialog, 2),
        QStringList({"Unprobed", "Unprobed", "1.23457e+08", "1e-07", "0", "", "Unprobed.ini",
            "Halvarn 1.75mm.ini"}));
}

void tst_printertypesdialog::entriesFromTheFile()
{
    QTemporaryDir tDir;
    const QString tPath = tDir.filePath(QStringLiteral("kvPrinterSettings.ini"));
    QFile tFile(tPath);
    QVERIFY(tFile.open(QIODevice::WriteOnly));
    tFile.write("[Halvarn_Tovra] old\n"
                "name=Halvarn Tovra\n"
                "bedX=203.2\n"
                "bedY=152.4\n"
                "bedZ=150\n"
                "probe=1\n"
                "slic3r_printer=\"Halvarn Tovra.ini\"\n"
                "slic3r_filament=\"Halvarn Tovra.ini\"\n");
    tFile.close();
    kvPrinter::loadPrinterTypes(tPath);
    QCOMPARE(kvPrinter::PrinterTypes.size(), 1);

    kvPrinterTypes tDialog;
    const QStringList tRow = rowTexts(tDialog, 0);
    QCOMPARE(tRow.at(1), kvPrinter::PrinterTypes.first()->firmwareName());
    QVERIFY(tRow.at(1).startsWith(QStringLiteral("Halvarn_Tovra]")));
    QCOMPARE(tRow.mid(2, 4), QStringList({"203.2", "152.4", "150", "1"}));
    QCOMPARE(tRow.at(6), QStringLiteral("Halvarn Tovra.ini"));
}

void tst_printertypesdialog::editsStayInTheDialog()
{
    addType(
        QStringLiteral("Halvarn_8x8"), QStringLiteral("Halvarn 8x8"), kvVector3D(200, 200, 200), 0);
    kvPrinterTypes tDialog;
    table(tDialog)->item(0, 0)->setText(QStringLiteral("edited"));
    QCOMPARE(kvPrinter::PrinterTypes.first()->printerName(), QStringLiteral("Halvarn 8x8"));
}

KV_TEST_MAIN(tst_printertypesdialog)
#include "tst_printertypesdialog.moc"
