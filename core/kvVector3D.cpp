#include "kvVector3D.h"

#include <cmath>

kvVector3D kvVector3D::add(kvVector3D pOther) const
{
    return kvVector3D(x() + pOther.x(), y() + pOther.y(), z() + pOther.z());
}

kvVector3D kvVector3D::subtract(kvVector3D pOther) const
{
    return kvVector3D(x() - pOther.x(), y() - pOther.y(), z() - pOther.z());
}

void kvVector3D::addInternal(kvVector3D pOther)
{
    *this = add(pOther);
}

void kvVector3D::subtractInternal(kvVector3D pOther)
{
    *this = subtract(pOther);
}

double kvVector3D::scalarProduct(kvVector3D pOther) const
{
    const float tDot = (x() * pOther.x() + y() * pOther.y()) + z() * pOther.z();
    return double(tDot);
}

void kvVector3D::storeMinimum(kvVector3D pOther)
{
    if (pOther.x() < x())
        setX(pOther.x());
    if (pOther.y() < y())
        setY(pOther.y());
    if (pOther.z() < z())
        setZ(pOther.z());
}

void kvVector3D::storeMaximum(kvVector3D pOther)
{
    if (pOther.x() > x())
        setX(pOther.x());
    if (pOther.y() > y())
        setY(pOther.y());
    if (pOther.z() > z())
        setZ(pOther.z());
}

void kvVector3D::scale(double pFactor)
{
    setX(float(double(x()) * pFactor));
    setY(float(double(y()) * pFactor));
    setZ(float(double(z()) * pFactor));
}

double kvVector3D::angleFromNormalizedVectors(kvVector3D pOther) const
{
    return std::acos(scalarProduct(pOther));
}

double kvVector3D::angle(kvVector3D pOther) const
{
    const double tDot = scalarProduct(pOther);
    return std::acos((tDot / double(length())) * double(pOther.length()));
}

void kvVector3D::copy(const kvVector3D &pOther)
{
    setX(pOther.x());
    setY(pOther.y());
    setZ(pOther.z());
}

QString kvVector3D::toString() const
{
    return QStringLiteral("kvVector3D::[X:%1][Y:%2][Z:%3]")
        .arg(QString::number(double(x()), 'g', 6), QString::number(double(y()), 'g', 6),
            QString::number(double(z()), 'g', 6));
}
