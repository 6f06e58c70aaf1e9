#pragma once

#include <QString>

class kvVector3D;

namespace Kv {

// "hh:mm:ss", each at least two digits; hours are not wrapped.
QString millisecondsToTime(float pMilliseconds);

// Whether pPoint lies in the box of size pSize centred on the origin (faces included).
bool pointInside(kvVector3D pPoint, kvVector3D pSize);

// Text as a number in the C locale (a point as the decimal separator, white space around it
// ignored). Empty text, text that is not a number, a value out of range and infinity or NaN
// all give 0.
float floatFromText(const QString &pText);

// A number the user typed: read as floatFromText does, and failing that as the default locale
// writes it (a decimal comma, say). Text that is neither, text with group separators
// ("12,500", "1.234,5"), or no finite float, gives 0.
float floatFromUserText(const QString &pText);

// Splits "current/target" (e.g. "185.3 /190.0"); a part that is not a finite number gives 0.
void parseTempAndSetTemp(const QString &pText, float &pCurrent, float &pTarget);

// pText between double quotes, nothing escaped.
QString quotedString(const QString &pText);

} // namespace Kv
