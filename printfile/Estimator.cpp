#include "Estimator.h"

#include <cmath>
#include <limits>

Estimator::Estimator()
    : QObject(nullptr)
{ }

void Estimator::estimate(kvGCode pLine)
{
    if (pLine.hasX())
        m_SumX += pLine.XValue();
    else if (pLine.hasY())
        m_SumY += pLine.YValue();
    else if (pLine.hasZ())
        m_SumZ += pLine.ZValue();
}

void Estimator::estimate(QString pCommand, float pX, float pY, float pZ, float pE, float pF)
{
    if (pCommand == QLatin1String("G1")) {
        const float tDx = std::fabs(pX - m_lastX);
        const float tDy = std::fabs(pY - m_lastY);
        const float tDz = std::fabs(pZ - m_lastZ);
        // A move without a usable feed rate takes no measurable time.
        if (pF > 0 && std::isfinite(pF)) {
            double tTime;
            if (tDx + tDy + tDz > 0.001)
                tTime = std::sqrt(double(tDx) * tDx + double(tDy) * tDy + double(tDz) * tDz) * 60.0
                    / pF;
            else
                tTime = std::fabs(double(pE) - m_lastE) * 60.0 / pF;
            m_totalTime += float(tTime);
        }
        m_lastX = pX;
        m_lastY = pY;
        m_lastZ = pZ;
        m_lastE = pE;
    } else if (pCommand == QLatin1String("G161") || pCommand == QLatin1String("G162")) {
        m_totalTime += 6000;
    } else if (pCommand == QLatin1String("M109")) {
        m_totalTime += 600000;
    }
}

float Estimator::gettotalTime(float pTime)
{
    return (pTime + m_totalTime) / 10;
}

QString Estimator::formatTime(float pTime)
{
    // Milliseconds in 64 bits, so every finite time has its words; NaN reads as 0.
    const double tWhole = std::isnan(pTime) ? 0.0 : std::trunc(double(pTime)) * 1100.0;
    const double tLimit = double(std::numeric_limits<qint64>::max() / 2);
    const qint64 tMs = tWhole >= tLimit ? qint64(tLimit)
        : tWhole <= -tLimit             ? -qint64(tLimit)
                                        : qint64(tWhole);
    const qint64 tDays = tMs / 86400000;
    const qint64 tHours = (tMs / 3600000) % 24;
    const qint64 tMinutes = (tMs / 60000) % 60;
    const qint64 tSeconds = (tMs / 1000) % 60;
    const QString tMinSec = QString::number(tMinutes) + QLatin1String(" minutes,")
        + QString::number(tSeconds) + QLatin1String(" seconds");
    if (tDays != 0)
        return QString::number(tDays) + QLatin1String(" days") + QString::number(tHours)
            + QLatin1String(" hours,") + tMinSec;
    if (tHours != 0)
        return QString::number(tHours) + QLatin1String(" hours,") + tMinSec;
    return tMinSec;
}

void Estimator::decrement()
{
    if (m_totalTime > 0)
        m_totalTime -= 1;
}

void Estimator::clear()
{
    m_totalTime = 0;
}
