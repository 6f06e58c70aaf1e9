#pragma once

#include <QDialog>

namespace Ui {
class kvStandardPaths;
}

// Developer's table of the platform's writable standard locations.
class kvStandardPaths : public QDialog
{
    Q_OBJECT

public:
    explicit kvStandardPaths(QWidget *pParent = nullptr);
    ~kvStandardPaths() override;

private:
    Ui::kvStandardPaths *ui;
};
