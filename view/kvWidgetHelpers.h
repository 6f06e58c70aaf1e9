#pragma once

#include "kvHelpers.h"
#include "kvVector3D.h"

#include <QColor>
#include <QString>
#include <QVector>

class QLabel;
class QLineEdit;
class QTableView;
class kvGLObject;
class kvVertexTableModel;

// Small helpers for the inspector's widgets.
namespace Kv {

// A value as shown in a field: at most six significant digits ('g', 6).
QString numberText(double pValue);

// A field's text as a number (single precision: Kv::floatFromText), with a point as the
// decimal separator. Empty text, text that is not a number, a value out of range and
// infinity or NaN all give 0.
double doubleFromText(const QString &pText);
// Base 10; a text with a fraction gives 0.
int intFromText(const QString &pText);

// A grey swatch colour for a reflectivity factor (0 black, 1 white, bounded to 0..1).
QColor reflectivitySwatchColor(float pValue);
// A colour channel from 0..1 as 0..255, truncated; out of range and NaN are bounded.
int colorChannel(float pValue);

// Shows pColor as the label's solid background.
void fillLabelPaletteWithColor(QLabel *pLabel, QColor pColor);
// Replaces the table's model by a new one listing pVertices ("Vertex", "X", "Y", "Z").
void fillTableViewWithVertices(QVector<kvVector3D> pVertices, QTableView *pTable);
// Installs pModel (parented to the table) and deletes a previous model the table owned.
void installTableModel(QTableView *pTable, kvVertexTableModel *pModel);
// Asks for a colour seeded with the object's; on a choice, gives it to the object and
// the swatch. A cancelled dialog changes nothing.
void updateGLObjectColorAndLabel(QLabel *pLabel, kvGLObject *pObject);
// The object's translation from three fields (x, y, z); nothing if one is missing.
void updateGLObjectTranslationFromLineEdit(
    QLineEdit *pX, QLineEdit *pY, QLineEdit *pZ, kvGLObject *pObject);

} // namespace Kv
