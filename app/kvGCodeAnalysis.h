#pragma once

#include "kvGCodeFile.h"

#include <QDialog>
#include <QString>

namespace Ui {
class kvGCodeAnalysis;
}

// Developer's window: analyses one G-code file and shows its figures and lines.
class kvGCodeAnalysis : public QDialog
{
    Q_OBJECT

public:
    explicit kvGCodeAnalysis(QWidget *pParent = nullptr);
    ~kvGCodeAnalysis() override;

    // The path last analysed.
    QString FileName() const { return m_FileName; }
    // Analyses pFileName and shows the results; a missing file shows none.
    void setFileName(const QString &pFileName);

    void updateGCodeTextEdit();
    void updateGCodeAnalysis();

private slots:
    void onFileNameButtonClicked();
    void onGCodeAnalysisTextClicked();

private:
    Ui::kvGCodeAnalysis *ui;
    QString m_FileName;
    kvGCodeFile m_gCodeFile;
};
