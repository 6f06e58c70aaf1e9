#include "kvWidgetHelpers.h"

#include "kvDialogs.h"
#include "kvGLObject.h"
#include "kvVertexTableModel.h"

#include <QLabel>
#include <QLineEdit>
#include <QTableView>
#include <cmath>

namespace Kv {

QString numberText(double pValue)
{
    return QString::number(pValue, 'g', 6);
}

double doubleFromText(const QString &pText)
{
    bool tOk = false;
    const double tValue = pText.toDouble(&tOk);
    return tOk && std::isfinite(tValue) ? tValue : 0.0;
}

int intFromText(const QString &pText)
{
    bool tOk = false;
    const int tValue = pText.toInt(&tOk, 10);
    return tOk ? tValue : 0;
}

int colorChannel(float pValue)
{
    if (!(pValue > 0))
        return 0;
    if (pValue >= 1)
        return 255;
    return int(pValue * 255);
}

QColor reflectivitySwatchColor(float pValue)
{
    const int tGrey = colorChannel(pValue);
    return QColor(tGrey, tGrey, tGrey);
}

void fillLabelPaletteWithColor(QLabel *pLabel, QColor pColor)
{
    if (!pLabel)
        return;
    QPalette tPalette = pLabel->palette();
    tPalette.setBrush(pLabel->backgroundRole(), QBrush(pColor, Qt::SolidPattern));
    pLabel->setPalette(tPalette);
    pLabel->setAutoFillBackground(true);
}

void installTableModel(QTableView *pTable, kvVertexTableModel *pModel)
{
    QAbstractItemModel *tOld = pTable->model();
    pModel->setParent(pTable);
    pTable->setModel(pModel);
    if (tOld && tOld->parent() == pTable)
        delete tOld;
}

void fillTableViewWithVertices(QVector<kvVector3D> pVertices, QTableView *pTable)
{
    if (!pTable)
        return;
    installTableModel(pTable, new kvVertexTableModel(std::move(pVertices)));
}

void updateGLObjectColorAndLabel(QLabel *pLabel, kvGLObject *pObject)
{
    if (!pObject)
        return;
    const QColor tColor = kvDialogs::color(pObject->color());
    if (!tColor.isValid())
        return;
    pObject->setColor(tColor);
    fillLabelPaletteWithColor(pLabel, tColor);
}

void updateGLObjectTranslationFromLineEdit(
    QLineEdit *pX, QLineEdit *pY, QLineEdit *pZ, kvGLObject *pObject)
{
    if (!pX || !pY || !pZ || !pObject)
        return;
    pObject->setTranslation(kvVector3D(
        floatFromText(pX->text()), floatFromText(pY->text()), floatFromText(pZ->text())));
}

} // namespace Kv
