#pragma once

#include <QDialog>
#include <QString>

namespace Ui {
class kvAboutWindow;
}

// The Help menu's about box: product, version, operating system, licences.
class kvAboutWindow : public QDialog
{
    Q_OBJECT

public:
    explicit kvAboutWindow(QWidget *pParent = nullptr);
    ~kvAboutWindow() override;

    void setVersion(const QString &pVersion);

private:
    Ui::kvAboutWindow *ui;
};
