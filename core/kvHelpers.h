#pragma once

#include <QString>

class kvVector3D;

namespace Kv {

// "hh:mm:ss", each at least two digits; hours are not wrapped.
QString millisecondsToTime(float pMilliseconds);

// Whether pPoint lies in the box of size pSize centred on the origin (faces included).
bool pointInside(kvVector3D pPoint, kvVector3D pSize);

// Splits "current/target" (e.g. "185.3 /190.0"); a part that is not a finite number gives 0.
void parseTempAndSetTemp(const QString &pText, float &pCurrent, float &pTarget);

// pText between double quotes, nothing escaped.
QString quotedString(const QString &pText);

} // namespace Kv
