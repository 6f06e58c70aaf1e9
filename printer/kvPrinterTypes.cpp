#include "kvPrinterTypes.h"

#include "kvPrinter.h"
#include "kvWindowFit.h"
#include "ui_kvPrinterTypes.h"

#include <QTableWidgetItem>

kvPrinterTypes::kvPrinterTypes(QWidget *pParent)
    : QDialog(pParent)
    , ui(new Ui::kvPrinterTypes)
{
    ui->setupUi(this);
    Kv::fitWhenShown(this);

    const QVector<kvPrinterSettings *> &tTypes = kvPrinter::PrinterTypes;
    ui->tableWidget->setRowCount(tTypes.size());
    for (int tRow = 0; tRow < tTypes.size(); ++tRow) {
        const kvPrinterSettings *tType = tTypes.at(tRow);
        if (!tType)
            continue;
        const kvVector3D tBed = tType->bedSize();
        // An entry whose file gives no probe kind shows an empty cell.
        const int tProbe = int(tType->probe());
        const QString tCells[] = {
            tType->printerName(),
            tType->firmwareName(),
            QString::number(double(tBed.x()), 'g', 6),
            QString::number(double(tBed.y()), 'g', 6),
            QString::number(double(tBed.z()), 'g', 6),
            tProbe == kvPrinterSettings::NoProbe ? QString() : QString::number(tProbe),
            tType->slic3rPrinterSetting(),
            tType->slic3rFilamentSetting(),
        };
        for (int tColumn = 0; tColumn < 8; ++tColumn)
            ui->tableWidget->setItem(tRow, tColumn, new QTableWidgetItem(tCells[tColumn]));
    }
}

kvPrinterTypes::~kvPrinterTypes()
{
    delete ui;
}
