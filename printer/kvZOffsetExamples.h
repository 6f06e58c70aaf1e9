#pragma once

#include <QDialog>

namespace Ui {
class kvZOffsetExamples;
}

// Four pictures of calibration lines printed too high, too low and just right.
class kvZOffsetExamples : public QDialog
{
    Q_OBJECT

public:
    explicit kvZOffsetExamples(QWidget *pParent = nullptr);
    ~kvZOffsetExamples() override;

private:
    Ui::kvZOffsetExamples *m_ui = nullptr;
};
