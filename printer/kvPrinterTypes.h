#pragma once

#include <QDialog>

namespace Ui {
class kvPrinterTypes;
}

// Developer's table of the printer types table, one row per entry, filled once.
class kvPrinterTypes : public QDialog
{
    Q_OBJECT

public:
    explicit kvPrinterTypes(QWidget *pParent = nullptr);
    ~kvPrinterTypes() override;

private:
    Ui::kvPrinterTypes *ui;
};
