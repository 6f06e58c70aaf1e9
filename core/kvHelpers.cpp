#include "kvHelpers.h"

#include "kvVector3D.h"

#include <QLocale>

#include <climits>
#include <cmath>

namespace Kv {

namespace {

// Truncates toward zero; out-of-range values saturate instead of overflowing.
int truncatedInt(float pValue)
{
    if (std::isnan(pValue))
        return 0;
    if (pValue >= 2147483648.0f)
        return INT_MAX;
    if (pValue <= -2147483648.0f)
        return INT_MIN;
    return static_cast<int>(pValue);
}

// (value truncated toward zero) modulo 60, keeping the sign of the value.
int sixtiethRemainder(float pValue)
{
    return static_cast<int>(std::fmod(std::trunc(pValue), 60.0f));
}

QString twoDigits(int pValue)
{
    return QStringLiteral("%1").arg(pValue, 2, 10, QLatin1Char('0'));
}

} // namespace

float floatFromText(const QString &pText)
{
    bool tOk = false;
    const float tValue = pText.toFloat(&tOk);
    return tOk && std::isfinite(tValue) ? tValue : 0.0f;
}

float floatFromUserText(const QString &pText)
{
    // Neither reading takes group separators: "12,500" is no angle of 12500 degrees.
    QLocale tC = QLocale::c();
    tC.setNumberOptions(tC.numberOptions() | QLocale::RejectGroupSeparator);
    bool tOk = false;
    float tValue = tC.toFloat(pText, &tOk);
    if (!tOk) {
        QLocale tUser;
        tUser.setNumberOptions(tUser.numberOptions() | QLocale::RejectGroupSeparator);
        tValue = tUser.toFloat(pText, &tOk);
    }
    return tOk && std::isfinite(tValue) ? tValue : 0.0f;
}

QString millisecondsToTime(float pMilliseconds)
{
    if (!std::isfinite(pMilliseconds))
        pMilliseconds = 0.0f;
    const int tHours = truncatedInt(pMilliseconds / 3600000.0f);
    const int tMinutes = sixtiethRemainder(pMilliseconds / 60000.0f);
    const int tSeconds = sixtiethRemainder(pMilliseconds / 1000.0f);
    return twoDigits(tHours) + QLatin1Char(':') + twoDigits(tMinutes) + QLatin1Char(':')
        + twoDigits(tSeconds);
}

bool pointInside(kvVector3D pPoint, kvVector3D pSize)
{
    const float tPoint[3] = {pPoint.z(), pPoint.x(), pPoint.y()};
    const float tSize[3] = {pSize.z(), pSize.x(), pSize.y()};
    for (int i = 0; i < 3; ++i) {
        const double tHalf = static_cast<double>(tSize[i]) * 0.5;
        const double tValue = static_cast<double>(tPoint[i]);
        if (-tHalf > tValue || tValue > tHalf)
            return false;
    }
    return true;
}

void parseTempAndSetTemp(const QString &pText, float &pCurrent, float &pTarget)
{
    const int tSlash = pText.indexOf(QLatin1Char('/'));
    pCurrent = floatFromText(tSlash < 0 ? pText : pText.left(tSlash));
    pTarget = floatFromText(pText.mid(tSlash + 1));
}

QString quotedString(const QString &pText)
{
    return QLatin1Char('"') + pText + QLatin1Char('"');
}

} // namespace Kv
