#include "kvZOffsetExamples.h"

#include "kvWindowFit.h"
#include "ui_kvZOffsetExamples.h"

#include <QLabel>

kvZOffsetExamples::kvZOffsetExamples(QWidget *pParent)
    : QDialog(pParent)
    , m_ui(new Ui::kvZOffsetExamples)
{
    m_ui->setupUi(this);
    // The pictures are scaled to their tab: they need no room of their own.
    for (QLabel *tPicture : findChildren<QLabel *>())
        tPicture->setMinimumSize(1, 1);
    Kv::fitWhenShown(this);
}

kvZOffsetExamples::~kvZOffsetExamples()
{
    delete m_ui;
}
