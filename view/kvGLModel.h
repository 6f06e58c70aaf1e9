#pragma once

#include "kvBoundingBox.h"
#include "kvGLObject.h"
#include "kvModel.h"

class kvGLModelCenter;
class kvGLModelMBR;

// One shown mesh: its GL copy, the material of the lighting, and its placement
// (base and user rotation, scale, landing/centring translation, user drag offset).
class kvGLModel : public kvGLObject
{
    Q_OBJECT
public:
    explicit kvGLModel(QObject *pParent = nullptr);
    kvGLModel(kvModel pModel, QObject *pParent = nullptr);

    kvModel model() const { return m_model; }
    kvGLModelMBR *boundingBox() const { return m_boundingBox; }
    kvGLModelCenter *modelCenter() const { return m_modelCenter; }

    QColor ambientColor() const { return m_ambientColor; }
    float ambientReflectivityColor() const { return m_ambientReflectivityColor; }
    QColor diffuseColor() const { return m_diffuseColor; }
    float diffuseReflectivityColor() const { return m_diffuseReflectivityColor; }
    QColor specularColor() const { return m_specularColor; }
    float specularReflectivityColor() const { return m_specularReflectivityColor; }
    float shininess() const { return m_shininess; }
    float scale() const { return m_scale; }
    kvVector3D rotation() const { return m_rotation; }
    kvVector3D userRotation() const { return m_userRotation; }
    kvVector3D userTranslation() const { return m_userTranslation; }
    QMatrix4x4 modelViewMatrix() const { return m_modelViewMatrix; }

    void setAmbientColor(QColor pValue);
    void setAmbientReflectivityColor(float pValue);
    void setDiffuseColor(QColor pValue);
    void setDiffuseReflectivityColor(float pValue);
    void setSpecularColor(QColor pValue);
    void setSpecularReflectivityColor(float pValue);
    void setShininess(float pValue);
    // A scale that is not above 0, or not finite, is refused: the scale stays.
    void setScale(float pValue);
    void setRotation(kvVector3D pValue);
    void setUserRotation(kvVector3D pValue);
    void setUserTranslation(kvVector3D pValue);
    void setModel(kvModel pModel);

    void initializeGL() override;
    using kvGLObject::paintGL;
    void paintGL(QMatrix4x4 pProjection, QMatrix4x4 pView, kvVector3D pLight);
    // Puts the lowest point of the turned and scaled mesh at height pFloor.
    void land(float pFloor);
    // Centres the turned and scaled mesh over the origin in X and Z.
    void center();
    // Colours the box red when the placed part leaves the volume of size pBedSize.
    void checkBounds(kvVector3D pBedSize);
    // Whether the placed part lies inside the volume of size pBedSize (the box's colour).
    bool fitsVolume(kvVector3D pBedSize) const;

    // Translated, then turned about X, Y and Z, then scaled: the model matrix.
    static QMatrix4x4 placementMatrix(kvVector3D pTranslation, kvVector3D pRotation, float pScale);
    // Whether every corner of pBox lies in the volume of size pBedSize centred on the origin.
    static bool fitsInside(const kvBoundingBox &pBox, kvVector3D pBedSize);
    // The model matrix of the current placement (the one the next paint draws with).
    QMatrix4x4 currentMatrix() const;
    // The box of the mesh placed by currentMatrix(); one pass over the mesh per shape change.
    kvBoundingBox placedBox() const;

signals:
    void ObjectChanged(kvGLObject *pObject);
    void AmbientColorChanged();
    void AmbientReflectivityColorChanged();
    void DiffuseColorChanged();
    void DiffuseReflectivityColorChange();
    void SpecularColorChanged();
    void SpecularReflectivityColorChanged();
    void ShininessChanged();
    void ScaleChanged();
    void RotationChanged();
    void UserRotationChanged(kvGLObject *pObject);
    void UserTranslationChanged(kvGLObject *pObject);

private slots:
    void objectChanged();
    void objectChanged(kvGLObject *pObject);

private:
    void initialize();
    void upload();
    QMatrix4x4 shapeMatrix() const;
    kvBoundingBox shapeBox() const;

    kvModel m_model;
    bool m_glInitialized = false;
    kvGLModelMBR *m_boundingBox = nullptr;
    kvGLModelCenter *m_modelCenter = nullptr;
    QColor m_ambientColor = Qt::black;
    float m_ambientReflectivityColor = 1.0f;
    QColor m_diffuseColor = Qt::lightGray;
    float m_diffuseReflectivityColor = 1.0f;
    QColor m_specularColor = Qt::white;
    float m_specularReflectivityColor = 1.0f;
    float m_shininess = 100;
    kvVector3D m_rotation {-90, 0, 0};
    kvVector3D m_userRotation;
    QMatrix4x4 m_modelViewMatrix;
    float m_scale = 1.0f;
    kvVector3D m_userTranslation;

    // Box of the mesh under the last shape matrix (rotation and scale, no translation).
    mutable bool m_shapeValid = false;
    mutable QMatrix4x4 m_shapeKey;
    mutable kvBoundingBox m_shapeBox;
};
