#pragma once

#include "kvVector3D.h"

#include <QDialog>
#include <QString>
#include <QStringList>
#include <QVector>

namespace Ui {
class kvPrinterZOffsetCalibration;
}

class QCheckBox;
class QLabel;
class QStringListModel;
class kvZOffsetExamples;

// One choice of the wizard: a test line's check box and its value label.
struct kvCheckBoxLabelStruct
{
    QCheckBox *checkBox = nullptr;
    QLabel *label = nullptr;
};

// The Z-offset calibration wizard: runs the test print through its printer and sets
// the offset of the line the user picks. The printer feeds it the firmware's replies.
class kvPrinterZOffsetCalibration : public QDialog
{
    Q_OBJECT

public:
    explicit kvPrinterZOffsetCalibration(QWidget *pParent = nullptr);
    ~kvPrinterZOffsetCalibration() override;

    void setBedSize(const kvVector3D &pValue) { m_bedSize = pValue; }
    kvVector3D bedSize() const { return m_bedSize; }

    // The firmware's current offset as text; not a number counts as 0.
    void setZOffset(const QString &pValue);
    QString zOffsetText() const;
    double currentOffset() const { return m_currentOffset; }
    double newOffset() const { return m_newOffset; }
    // One bed probe response: its X, Y and Z values join the lists.
    void setProbeData(const QString &pValue);
    QStringList probeData() const { return m_probeResponses; }
    QStringList probeValues(int pAxis) const;
    // The bed plane's coefficients response: fills the boxes a, b and d.
    void setEgnCoefficients(const QString &pValue);
    QString egnCoefficients() const { return m_coefficients; }

    void setIsPrinting(bool pValue);
    void setIsWaitingToPrint(bool pValue);

    void clearForm();
    void setNewZChecksValues(const QVector<double> &pOffsets);
    void setUIElementsEnabled(bool pValue);

signals:
    void RunZOffsetCalibration();
    void SetNewZOffset(float pValue);

private slots:
    void onRunClibrationTestButtonClick();
    void onSetNewZOffsetButtonClick();
    void onNewZOffsetCheckBoxClicked();
    void onExample1Clicked();

private:
    bool isBusy() const;
    void applyNewOffset();
    static void appendValue(QStringListModel *pModel, const QString &pValue);

    Ui::kvPrinterZOffsetCalibration *m_ui = nullptr;
    kvZOffsetExamples *m_examples = nullptr;
    QStringListModel *m_xList = nullptr;
    QStringListModel *m_yList = nullptr;
    QStringListModel *m_zList = nullptr;
    kvVector3D m_bedSize;
    QVector<kvCheckBoxLabelStruct> m_choices;
    QVector<double> m_offsets {-0.5, -0.4, -0.3, -0.2, -0.1, 0.0, 0.1, 0.2, 0.3, 0.4, 0.5};
    double m_currentOffset = 0.0;
    double m_newOffset = 0.0;
    bool m_newOffsetChosen = false;
    QStringList m_probeResponses;
    QString m_coefficients;
};
