#include "kvZOffsetExamples.h"

#include "ui_kvZOffsetExamples.h"

kvZOffsetExamples::kvZOffsetExamples(QWidget *pParent)
    : QDialog(pParent)
    , m_ui(new Ui::kvZOffsetExamples)
{
    m_ui->setupUi(this);
}

kvZOffsetExamples::~kvZOffsetExamples()
{
    delete m_ui;
}
