#include "kvStandardPaths.h"

#include "kvWindowFit.h"
#include "ui_kvStandardPaths.h"

#include <QStandardPaths>
#include <QTableWidgetItem>

namespace {

// In the order of the form's rows.
const QStandardPaths::StandardLocation Locations[] = {
    QStandardPaths::DesktopLocation,
    QStandardPaths::DocumentsLocation,
    QStandardPaths::FontsLocation,
    QStandardPaths::ApplicationsLocation,
    QStandardPaths::MusicLocation,
    QStandardPaths::MoviesLocation,
    QStandardPaths::PicturesLocation,
    QStandardPaths::TempLocation,
    QStandardPaths::HomeLocation,
    QStandardPaths::AppLocalDataLocation, // the deprecated DataLocation
    QStandardPaths::CacheLocation,
    QStandardPaths::GenericCacheLocation,
    QStandardPaths::GenericDataLocation,
    QStandardPaths::RuntimeLocation,
    QStandardPaths::ConfigLocation,
    QStandardPaths::DownloadLocation,
    QStandardPaths::GenericConfigLocation,
    QStandardPaths::AppDataLocation,
    QStandardPaths::AppLocalDataLocation,
};

} // namespace

kvStandardPaths::kvStandardPaths(QWidget *pParent)
    : QDialog(pParent)
    , ui(new Ui::kvStandardPaths)
{
    ui->setupUi(this);
    Kv::fitWhenShown(this);
    int tRow = 0;
    for (QStandardPaths::StandardLocation tLocation : Locations) {
        if (tRow >= ui->standardPathsTable->rowCount())
            break;
        ui->standardPathsTable->setItem(
            tRow++, 0, new QTableWidgetItem(QStandardPaths::writableLocation(tLocation)));
    }
}

kvStandardPaths::~kvStandardPaths()
{
    delete ui;
}
