#include "kvGLModel.h"

#include "kvGLModelCenter.h"
#include "kvGLModelMBR.h"
#include "kvHelpers.h"
#include "kvPlacement.h"

#include <QGLShaderProgram>
#include <QtOpenGL>
#include <cmath>

kvGLModel::kvGLModel(QObject *pParent)
    : kvGLObject(pParent)
{
    initialize();
}

kvGLModel::kvGLModel(kvModel pModel, QObject *pParent)
    : kvGLObject(pParent)
{
    initialize();
    setModel(pModel);
}

void kvGLModel::initialize()
{
    m_silent = true;
    m_glInitialized = false;
    setColor(Qt::blue);
    setAmbientColor(Qt::black);
    setAmbientReflectivityColor(1.0f);
    setDiffuseColor(Qt::lightGray);
    setDiffuseReflectivityColor(1.0f);
    setSpecularColor(Qt::white);
    setSpecularReflectivityColor(1.0f);
    setShininess(100);
    setTranslation(kvVector3D(0, 0, 0));
    setScale(1.0f);
    setRotation(kvVector3D(-90, 0, 0));
    setUserRotation(kvVector3D(0, 0, 0));

    m_boundingBox = new kvGLModelMBR(this);
    m_modelCenter = new kvGLModelCenter(this);
    for (kvGLObject *tChild :
        {static_cast<kvGLObject *>(m_boundingBox), static_cast<kvGLObject *>(m_modelCenter)}) {
        connect(tChild, SIGNAL(VisibleChanged(kvGLObject *)), SLOT(objectChanged(kvGLObject *)));
        connect(tChild, SIGNAL(ColorChanged(kvGLObject *)), SLOT(objectChanged(kvGLObject *)));
        connect(tChild, SIGNAL(VerticesChanged(kvGLObject *)), SLOT(objectChanged(kvGLObject *)));
        connect(
            tChild, SIGNAL(TranslationChanged(kvGLObject *)), SLOT(objectChanged(kvGLObject *)));
        connect(tChild, SIGNAL(MatrixChanged(kvGLObject *)), SLOT(objectChanged(kvGLObject *)));
    }
    connect(m_boundingBox, SIGNAL(LineWidthChnaged()), SLOT(objectChanged()));
    connect(m_modelCenter, SIGNAL(LineWidthChanged()), SLOT(objectChanged()));
    m_silent = false;
}

void kvGLModel::objectChanged()
{
    emit ObjectChanged(this);
}

void kvGLModel::objectChanged(kvGLObject *)
{
    emit ObjectChanged(this);
}

#define KV_SETTER(Name, Field, Type, Signal)                                                       \
    void kvGLModel::Name(Type pValue)                                                              \
    {                                                                                              \
        Field = pValue;                                                                            \
        if (!m_silent)                                                                             \
            emit Signal();                                                                         \
    }

KV_SETTER(setAmbientColor, m_ambientColor, QColor, AmbientColorChanged)
KV_SETTER(
    setAmbientReflectivityColor, m_ambientReflectivityColor, float, AmbientReflectivityColorChanged)
KV_SETTER(setDiffuseColor, m_diffuseColor, QColor, DiffuseColorChanged)
KV_SETTER(
    setDiffuseReflectivityColor, m_diffuseReflectivityColor, float, DiffuseReflectivityColorChange)
KV_SETTER(setSpecularColor, m_specularColor, QColor, SpecularColorChanged)
KV_SETTER(setSpecularReflectivityColor, m_specularReflectivityColor, float,
    SpecularReflectivityColorChanged)
KV_SETTER(setShininess, m_shininess, float, ShininessChanged)
KV_SETTER(setRotation, m_rotation, kvVector3D, RotationChanged)

#undef KV_SETTER

void kvGLModel::setScale(float pValue)
{
    // A part scaled to nothing or by a value that is not a number cannot be shown or printed.
    if (!(pValue > 0.0f) || !std::isfinite(pValue))
        return;
    m_scale = pValue;
    if (!m_silent)
        emit ScaleChanged();
}

void kvGLModel::setUserRotation(kvVector3D pValue)
{
    m_userRotation = pValue;
    if (!m_silent)
        emit UserRotationChanged(this);
}

void kvGLModel::setUserTranslation(kvVector3D pValue)
{
    m_userTranslation = pValue;
    emit UserTranslationChanged(this);
}

void kvGLModel::setModel(kvModel pModel)
{
    m_model = pModel;
    m_shapeValid = false;
    setVertices(m_model.vertexVector());
    upload();
    emit ObjectChanged(this);
}

void kvGLModel::upload()
{
    QVector<kvVector3D> tNormals = m_model.normals();
    // The normals must cover every position the draw reads.
    if (tNormals.size() != m_vertices.size())
        tNormals.resize(m_vertices.size());
    uploadBuffer(
        Reserve::EveryTime, tNormals.constData(), tNormals.size() * int(sizeof(kvVector3D)));
}

void kvGLModel::initializeGL()
{
    if (!m_glInitialized) {
        m_glInitialized = true;
        m_boundingBox->initializeGL();
        m_modelCenter->initializeGL();
        buildProgram("kvModelVertexShader.vert", "kvModelFragmentShader.frag");
    }
    // A mesh set before the context existed has not been uploaded yet.
    if (!buffer().isCreated() && !m_vertices.isEmpty())
        upload();
}

QMatrix4x4 kvGLModel::placementMatrix(kvVector3D pTranslation, kvVector3D pRotation, float pScale)
{
    QMatrix4x4 tMatrix;
    tMatrix.translate(pTranslation);
    return tMatrix * Kv::placementMatrix(pRotation, pScale);
}

QMatrix4x4 kvGLModel::currentMatrix() const
{
    return placementMatrix(
        m_translation.add(m_userTranslation), m_rotation.add(m_userRotation), m_scale);
}

QMatrix4x4 kvGLModel::shapeMatrix() const
{
    return placementMatrix(kvVector3D(0, 0, 0), m_rotation.add(m_userRotation), m_scale);
}

kvBoundingBox kvGLModel::shapeBox() const
{
    const QMatrix4x4 tShape = shapeMatrix();
    if (!m_shapeValid || !(tShape == m_shapeKey)) {
        m_shapeBox = m_model.boudningBoxFromMatrix(tShape);
        m_shapeKey = tShape;
        m_shapeValid = true;
    }
    return m_shapeBox;
}

kvBoundingBox kvGLModel::placedBox() const
{
    const kvBoundingBox tShape = shapeBox();
    if (tShape.isEmpty())
        return tShape;
    // A translation moves every mapped point by the same offset, so it moves the box.
    const kvVector3D tOffset = m_translation.add(m_userTranslation);
    kvBoundingBox tBox;
    tBox.add(tShape.minPoint().add(tOffset));
    tBox.add(tShape.maxPoint().add(tOffset));
    return tBox;
}

bool kvGLModel::fitsInside(const kvBoundingBox &pBox, kvVector3D pBedSize)
{
    // A volume or a corner that is not a number cannot be said to fit.
    if (!pBedSize.isFinite())
        return false;
    for (const kvVector3D &tPoint : pBox.box()) {
        if (!tPoint.isFinite() || !Kv::pointInside(tPoint, pBedSize))
            return false;
    }
    return true;
}

bool kvGLModel::fitsVolume(kvVector3D pBedSize) const
{
    // The placed box leaves out points that overflow (a huge scale); such a part does not
    // fit, which the placed corners of the mesh's own box show.
    const kvBoundingBox tMesh = m_model.boundingBox();
    if (!tMesh.isEmpty()) {
        const QMatrix4x4 tMatrix = currentMatrix();
        for (const kvVector3D &tCorner : tMesh.box()) {
            if (!kvVector3D(tMatrix.map(QVector3D(tCorner))).isFinite())
                return false;
        }
    }
    return fitsInside(placedBox(), pBedSize);
}

void kvGLModel::checkBounds(kvVector3D pBedSize)
{
    m_boundingBox->setColor(fitsVolume(pBedSize) ? QColor(Qt::darkGreen) : QColor(Qt::red));
}

void kvGLModel::land(float pFloor)
{
    const kvBoundingBox tBox = shapeBox();
    kvVector3D tTranslation = m_translation;
    tTranslation.setY(pFloor - tBox.minPoint().y());
    setTranslation(tTranslation);
    setUserTranslation(kvVector3D(0, 0, 0));
}

void kvGLModel::center()
{
    const kvVector3D tCenter = shapeBox().center();
    kvVector3D tTranslation = m_translation;
    tTranslation.setX(-tCenter.x());
    tTranslation.setZ(-tCenter.z());
    setTranslation(tTranslation);
    setUserTranslation(kvVector3D(0, 0, 0));
}

void kvGLModel::paintGL(QMatrix4x4 pProjection, QMatrix4x4 pView, kvVector3D pLight)
{
    if (!m_visible)
        return;
    m_matrix = currentMatrix();
    const QMatrix4x4 tPVM = pProjection * pView * m_matrix;
    m_modelViewMatrix = pView * m_matrix;
    if (canDraw()) {
        QGLShaderProgram *tProgram = program();
        tProgram->bind();
        vertexBuffer().bind();
        tProgram->enableAttributeArray("pVertex");
        tProgram->setAttributeBuffer("pVertex", GL_FLOAT, 0, 3, 0);
        tProgram->enableAttributeArray("pNormal");
        tProgram->setAttributeBuffer(
            "pNormal", GL_FLOAT, bufferVertices() * int(sizeof(kvVector3D)), 3, 0);
        tProgram->setUniformValue("pColor", m_color);
        tProgram->setUniformValue("pAmbient", m_ambientColor);
        tProgram->setUniformValue("pDiffuse", m_diffuseColor);
        tProgram->setUniformValue("pSpecular", m_specularColor);
        tProgram->setUniformValue("pShininess", m_shininess);
        tProgram->setUniformValue("pPVMMatrix", tPVM);
        tProgram->setUniformValue("pVMMatrix", m_modelViewMatrix);
        tProgram->setUniformValue("pNormalMatrix", m_modelViewMatrix.normalMatrix());
        tProgram->setUniformValue("pLightDir", QVector3D(pLight));
        vertexBuffer().release();
        glDrawArrays(GL_TRIANGLES, 0, drawCount());
        tProgram->disableAttributeArray("pVertex");
        tProgram->disableAttributeArray("pNormal");
        tProgram->release();
    }
    m_boundingBox->paintGL(tPVM, m_model.boundingBox());
}
