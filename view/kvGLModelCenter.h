#pragma once

#include "kvGLObject.h"
#include "kvModel.h"

class kvPrinterFile;

// Centre marker of the displayed model; a property holder without geometry.
class kvGLModelCenter : public kvGLObject
{
    Q_OBJECT
public:
    explicit kvGLModelCenter(QObject *pParent = nullptr);

    void initializeGL() override;
    using kvGLObject::paintGL;
    void paintGL(QMatrix4x4 pMatrix, kvPrinterFile *pFile);
    void paintGL(QMatrix4x4 pMatrix, kvModel pModel);
    void updateBuffer(kvPrinterFile *pFile);

    float lineWidth() const { return m_lineWidth; }
    void setLineWidth(float pValue);

signals:
    void LineWidthChanged();

private:
    float m_lineWidth = 2.0f;
};
