#pragma once

#include "kvDefines.h"
#include "kvGLObject.h"

#include <QVector4D>

// Translucent strip beside one ruler that shows the part's extent along that axis.
class kvGLRulersShade : public kvGLObject
{
    Q_OBJECT
public:
    explicit kvGLRulersShade(QObject *pParent = nullptr);

    void paintGL(QMatrix4x4 pProjection, QMatrix4x4 pView) override;
    using kvGLObject::initializeGL;
    void setColor(QColor pValue) override;
    void initializeGL(Kv::Defines::kvCoordinate pCoordinate, QColor pColor);

    float width() const { return m_width; }
    void setWidth(float pValue);
    float alpha() const { return m_alpha; }
    void setAlpha(float pValue);
    kvVector3D bedSize() const { return m_bedSize; }
    void setBedSize(kvVector3D pValue);
    Kv::Defines::kvCoordinate coordinate() const { return m_coordinate; }
    void setCoordinate(Kv::Defines::kvCoordinate pValue);
    QVector<QVector4D> colors() const { return m_colors; }
    // Strip spanning the part's extent from pMin to pMax.
    void updateVertices(kvVector3D pBedSize, kvVector3D pMin, kvVector3D pMax);

    // The strip shown before a part's extent is known.
    static QVector<kvVector3D> fixedStrip(
        Kv::Defines::kvCoordinate pCoordinate, kvVector3D pBedSize, float pWidth);
    // The strip for an extent; pMin and pMax are clamped to plus or minus the bed size.
    static QVector<kvVector3D> extentStrip(Kv::Defines::kvCoordinate pCoordinate,
        kvVector3D pBedSize, float pWidth, kvVector3D pMin, kvVector3D pMax);

signals:
    void CoordinateChanged();
    void LineWidthChanged();
    void WidthChanged();
    void AlphaChanged();

private:
    void upload();

    QVector<QVector4D> m_colors;
    Kv::Defines::kvCoordinate m_coordinate = Kv::Defines::CoordinateAll;
    float m_width = 2.5f;
    float m_alpha = 0.5f;
    kvVector3D m_bedSize {200, 200, 200};
};
