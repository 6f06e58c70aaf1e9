#pragma once

#include "kvGCode.h"

#include <QObject>
#include <QString>

// Running coordinate sums of the queued G1 lines, and a print time estimate
// from moves and feed rates; each estimator keeps its own.
class Estimator : public QObject
{
    Q_OBJECT

public:
    Estimator();

    void estimate(kvGCode pLine);
    void estimate(QString pCommand, float pX, float pY, float pZ, float pE, float pF);

    float gettotalTime(float pTime);
    QString formatTime(float pTime);
    void decrement();
    void clear();

    float sumX() const { return m_SumX; }
    float sumY() const { return m_SumY; }
    float sumZ() const { return m_SumZ; }

private:
    float m_SumX = 0;
    float m_SumY = 0;
    float m_SumZ = 0;
    // The previous estimated move and the estimate so far.
    float m_lastX = 0;
    float m_lastY = 0;
    float m_lastZ = 0;
    float m_lastE = 0;
    float m_totalTime = 0;
};
