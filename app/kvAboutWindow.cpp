#include "kvAboutWindow.h"

#include "kvGlobal.h"
#include "kvPlatform.h"
#include "kvWindowFit.h"
#include "ui_kvAboutWindow.h"

kvAboutWindow::kvAboutWindow(QWidget *pParent)
    : QDialog(pParent)
    , ui(new Ui::kvAboutWindow)
{
    ui->setupUi(this);
    Kv::fitWhenShown(this);
    ui->lCompany->setText(QStringLiteral("Copyright \u00A9 Halvarn. All rights reserved."));
    // Read from the platform, so the box works whatever its parent is.
    ui->lOSVersion->setText(Kv::Platform::osDescription());
    setVersion(QString::fromLatin1(Kv::Global::VersionNumber));
}

kvAboutWindow::~kvAboutWindow()
{
    delete ui;
}

void kvAboutWindow::setVersion(const QString &pVersion)
{
    ui->lVersion->setText(QStringLiteral("Halvarn Kestrova ") + pVersion);
}
