#pragma once

#include <QMetaType>
#include <QString>
#include <QVector3D>

#include <cmath>

// A 3D vector: exactly three packed floats (x, y, z), usable wherever a QVector3D is.
class kvVector3D : public QVector3D
{
public:
    kvVector3D() = default;
    kvVector3D(float pX, float pY, float pZ)
        : QVector3D(pX, pY, pZ)
    { }
    kvVector3D(const QVector3D &pVector)
        : QVector3D(pVector)
    { }
    kvVector3D(const kvVector3D &pVector) = default;
    kvVector3D &operator=(const kvVector3D &pVector) = default;

    // No coordinate is NaN or infinite.
    bool isFinite() const { return std::isfinite(x()) && std::isfinite(y()) && std::isfinite(z()); }

    kvVector3D add(kvVector3D pOther) const;
    kvVector3D subtract(kvVector3D pOther) const;
    void addInternal(kvVector3D pOther);
    void subtractInternal(kvVector3D pOther);
    double scalarProduct(kvVector3D pOther) const;
    void storeMinimum(kvVector3D pOther);
    void storeMaximum(kvVector3D pOther);
    void scale(double pFactor);
    double angleFromNormalizedVectors(kvVector3D pOther) const;
    double angle(kvVector3D pOther) const;
    void copy(const kvVector3D &pOther);
    QString toString() const;
};

static_assert(sizeof(kvVector3D) == 3 * sizeof(float), "kvVector3D must stay three packed floats");

Q_DECLARE_TYPEINFO(kvVector3D, Q_PRIMITIVE_TYPE);
Q_DECLARE_METATYPE(kvVector3D)
