#pragma once

#include "kvDefines.h"
#include "kvModel.h"
#include "kvVector3D.h"

#include <QColor>
#include <QMainWindow>
#include <QPointer>
#include <QRect>
#include <QStringList>
#include <QVector>

class QCheckBox;
class QLabel;
class QLineEdit;
class QTableView;
class Ui_kvDebugWindow;
class kvGLModel;
class kvGLObject;
class kvGLWindow;
class kvVertexTableModel;

// The developer's inspector of the 3D view: shows the GL context, the camera and the
// properties of every scene object, and edits them through the objects' own setters.
class kvDebugWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit kvDebugWindow(QWidget *pParent = nullptr);
    ~kvDebugWindow() override;

    // Binds the window to the view (once) and fills every page from it.
    void initializeWidget(kvGLWindow *pView);
    // File statistics, bounds and vertex list of a newly shown model.
    void initializeModel(kvModel pModel);

    kvGLWindow *glWindow() const { return m_glWindow; }
    // The form, for tests.
    Ui_kvDebugWindow *form() const { return ui; }

    // Display setters: each writes its own field(s) and nothing else.
    void setVersion(QString pValue);
    void setRenderer(QString pValue);
    void setVender(QString pValue);
    void setShaderVersion(QString pValue);
    void setExtensions(QStringList pValue);

    void setBackgroundColor(QColor pValue);
    void setPerspectiveAngle(double pValue);
    void setProjectionNearPlane(double pValue);
    void setProjectionFarPlane(double pValue);
    void setOrthographicRect(QRect pValue);
    void setRotationType(Kv::Defines::kvGLRotationType pValue);
    void setRotationAlpha(float pValue);
    void setRotationBeta(float pValue);
    void setCameraPosition(kvVector3D pValue);
    void setCameraUpDirection(kvVector3D pValue);
    void setScale(float pValue);

    void setOriginVisible(bool pValue);
    void setPrinterAreaVisible(bool pValue);
    void setPrinterBedVisible(bool pValue);
    void setPrinterBedCenterVisible(bool pValue);
    void setRulersXVisible(bool pValue);
    void setRulersYVisible(bool pValue);
    void setRulersZVisible(bool pValue);
    void setRulersXShadeVisible(bool pValue);
    void setRulersYShadeVisible(bool pValue);
    void setRulersZShadeVisible(bool pValue);
    void setModelVisible(bool pValue);
    void setModelMBRVisible(bool pValue);
    void setModelCenterVisible(bool pValue);
    void setLightSourceVisible(bool pValue);

    void setOriginColor(QColor pValue);
    void setPrinterAreaColor(QColor pValue);
    void setPrinterBedColor(QColor pValue);
    void setPrinterBedCenterColor(QColor pValue);
    void setRulersXColor(QColor pValue);
    void setRulersYColor(QColor pValue);
    void setRulersZColor(QColor pValue);
    void setRulersXShadeColor(QColor pValue);
    void setRulersYShadeColor(QColor pValue);
    void setRulersZShadeColor(QColor pValue);
    void setModelColor(QColor pValue);
    void setModelMBRColor(QColor pValue);
    void setModelCenterColor(QColor pValue);

    void setOriginLineWidth(float pValue);
    void setPrinterAreaLineWidth(float pValue);
    void setPrinterBedLineWidth(float pValue);
    void setRulersXLineWidth(float pValue);
    void setRulersYLineWidth(float pValue);
    void setRulersZLineWidth(float pValue);
    void setModelMBRLineWidth(float pValue);
    void setModelCenterLineWidth(float pValue);

    void setOriginTranslation(kvVector3D pValue);
    void setPrinterAreaTranslation(kvVector3D pValue);
    void setPrinterBedTranslation(kvVector3D pValue);
    void setPrinterBedCenterTranslation(kvVector3D pValue);
    void setRulersXTranslation(kvVector3D pValue);
    void setRulersYTranslation(kvVector3D pValue);
    void setRulersZTranslation(kvVector3D pValue);
    void setRulersXShadeTranslation(kvVector3D pValue);
    void setRulersYShadeTranslation(kvVector3D pValue);
    void setRulersZShadeTranslation(kvVector3D pValue);
    void setModelMBRTranslation(kvVector3D pValue);

    void setOriginVertices(QVector<kvVector3D> pValue);
    void setPrinterAreaVertices(QVector<kvVector3D> pValue);
    void setPrinterBedVertices(QVector<kvVector3D> pValue);
    void setPrinterBedCenterVertices(QVector<kvVector3D> pValue);
    void setRulersXVertices(QVector<kvVector3D> pValue);
    void setRulersYVertices(QVector<kvVector3D> pValue);
    void setRulersZVertices(QVector<kvVector3D> pValue);
    void setRulersXShadeVertices(QVector<kvVector3D> pValue);
    void setRulersYShadeVertices(QVector<kvVector3D> pValue);
    void setRulersZShadeVertices(QVector<kvVector3D> pValue);
    void setModelMBRVertices(QVector<kvVector3D> pValue);
    void setModelCenterVertices(QVector<kvVector3D> pValue);
    void setModelVertices(QVector<kvVector3D> pValue);

    void setPrinterAreaDimensions(kvVector3D pValue);
    void setPrinterBedDimensions(kvVector3D pValue);
    void setPrinterBedCenterSize(double pValue);
    void setPrinterBedCenterSlices(int pValue);
    void setRulersXBedSize(float pValue);
    void setRulersYBedSize(float pValue);
    void setRulersZBedSize(float pValue);
    void setRulersXShadeWidth(float pValue);
    void setRulersYShadeWidth(float pValue);
    void setRulersZShadeWidth(float pValue);
    void setRulersXShadeAlpha(float pValue);
    void setRulersYShadeAlpha(float pValue);
    void setRulersZShadeAlpha(float pValue);

    void setLightSourceAngle(kvVector3D pValue);
    void setLightSourcePosition(kvVector3D pValue);
    void setLightSourceTranslation(kvVector3D pValue);
    // Five columns; the last shows the light's colour of each vertex.
    void setLightSourceVertices(QVector<kvVector3D> pValue);

    void setModelAmbientColor(QColor pValue);
    void setModelDiffuseColor(QColor pValue);
    void setModelSpecularColor(QColor pValue);
    void setModelAmbientReflectivityColor(QColor pValue);
    void setModelDiffuseReflectivityColor(QColor pValue);
    void setModelSpecularReflectivityColor(QColor pValue);
    void setModelShininess(float pValue);
    void setModelTranslation(kvVector3D pValue);
    void setModelRotation(kvVector3D pValue);
    void setModelUserTranslation(kvVector3D pValue);
    // Shows the scale; the model keeps the value it has.
    void setModelScale(float pValue);
    void setModelFileTriangles(int pValue);
    void setModelFileVertices(int pValue);
    void setModelFileNormals(int pValue);
    void setModelMins(kvVector3D pValue);
    void setModelMaxes(kvVector3D pValue);
    void setModelCenter(kvVector3D pValue);
    void setModelSize(kvVector3D pValue);

private slots:
    void backgroundColorChanged();
    void cameraPositionTextChanged(QString pText);
    void cameraUpDirectionTextChanged(QString pText);
    void angleSliderChanged(int pValue);
    void angleSliderReleaseed();
    void nearPlaneTextChanged(QString pText);
    void farPlaneTextChanged(QString pText);
    void rotationAlpahTextChanged(QString pText);
    void rotationBetaTextChanged(QString pText);
    void scaleValueTextChanged(QString pText);
    void orthoSizeTextChanged(QString pText);
    void projectionTypeChanged();
    void originVisibleChanged();
    void originLineWidthTextChanged(QString pText);
    void originColorButtonClicked();
    void originTranslationChanged(QString pText);
    void printerAreaVisibleChanged();
    void printerAreaColorChnaged();
    void printerAreaLineWidthTextChanged(QString pText);
    void printerAreaDimensionsChanged(QString pText);
    void printerAreaTranslationChanged(QString pText);
    void printerBedVisibleChanged();
    void printerBedColorChanged();
    void printerBedLineWidthTextChanged(QString pText);
    void printerBedDimensionsChanged(QString pText);
    void printerBedTranslationChanged(QString pText);
    void printerBedCenterVisibleChanged();
    void printerBedCenterColorChanged();
    void printerBedCenterSizeChanged(QString pText);
    void printerBedCenterSlicesChanged(QString pText);
    void printerBedCenterTranslationChanged(QString pText);
    void rulersXVisibleChanged();
    void rulersXLineWidthTextChanged(QString pText);
    void rulersXColorButtonClicked();
    void rulersXBedSizeChanged(QString pText);
    void rulersXTranslationChanged(QString pText);
    void rulersYVisibleChanged();
    void rulersYLineWidthTextChanged(QString pText);
    void rulersYColorButtonClicked();
    void rulersYBedSizeChanged(QString pText);
    void rulersYTranslationChanged(QString pText);
    void rulersZVisibleChanged();
    void rulersZLineWidthTextChanged(QString pText);
    void rulersZColorButtonClicked();
    void rulersZBedSizeChanged(QString pText);
    void rulersZTranslationChanged(QString pText);
    void rulersShadeXVisibleChanged();
    void rulersShadeXColorButtonClicked();
    void rulersShadeXWidthTextChanged(QString pText);
    void rulersShadeXAlphaTextChanged(QString pText);
    void rulersShadeXTranslationChanged(QString pText);
    void rulersShadeYVisibleChanged();
    void rulersShadeYColorButtonClicked();
    void rulersShadeYWidthTextChanged(QString pText);
    void rulersShadeYAlphaTextChanged(QString pText);
    void rulersShadeYTranslationChanged(QString pText);
    void rulersShadeZVisibleChanged();
    void rulersShadeZColorButtonClicked();
    void rulersShadeZWidthTextChanged(QString pText);
    void rulersShadeZAlphaTextChanged(QString pText);
    void rulersShadeZTranslationChanged(QString pText);
    void modelScaleChanged(double pValue);
    void modelVisibleChanged();
    void modelColorClicked();
    void modelColorAmbientClicked();
    void modelColorAmbientReflectClicked();
    void modelColorDiffuseClicked();
    void modelColorDiffuseReflectClicked();
    void modelColorSpecularClicked();
    void modelColorSpecularReflectClicked();
    void modelShininessTextChanged(QString pText);
    void modelTranslationTextChanged(QString pText);
    void modelRotationTextChanged(QString pText);
    void lightSourceVisibleChanged();
    void lightSourceAngleTextChanged(QString pText);
    void lightSourcePositionTextChanged(QString pText);
    void lightSourceTranslationTextChanged(QString pText);
    void modelMBRLineWidthChanged(QString pText);
    void modelMBRVisibleChanged();
    void modelMBRColorClicked();
    void modelMBRTranslationChanged(QString pText);
    void modelCenterVisibleChanged();
    void modelCenterColorClicked();
    void modelCenterLineWidthChanged(QString pText);

    void onSizeChanged();
    void onRotationChanged(float pAlpha, float pBeta);
    void onRotationTypeChanged(Kv::Defines::kvGLRotationType pValue);
    void onScaleValueChanged(float pValue);
    void onModelTranslationChanged();
    void onMousePositionChanged(QPoint pPosition);
    void onWorldCoordinatesChanged(kvVector3D pValue);
    void objectVisibleChanged(kvGLObject *pObject);
    void onModelObjectTranslationChanged(kvGLObject *pObject);

private:
    // Sets the guard for its lifetime and restores the previous state.
    class Guard
    {
    public:
        explicit Guard(bool &pFlag)
            : m_flag(pFlag)
            , m_saved(pFlag)
        {
            m_flag = true;
        }
        ~Guard() { m_flag = m_saved; }
        Guard(const Guard &) = delete;
        Guard &operator=(const Guard &) = delete;

    private:
        bool &m_flag;
        bool m_saved;
    };

    // Puts every page of the main tab widget into a scroll area.
    void scrollLongPages();
    void connectWidgets();
    // Whether an edit may act now: bound, and not while the window writes its fields.
    bool canEdit() const;
    kvGLModel *firstModel() const;
    // Fills the "Model", "Model MBR" and "Model Center" tabs from pModel and follows it.
    void fillModelPages(kvGLModel *pModel);
    void connectVisibility(kvGLObject *pObject);
    QCheckBox *visibleCheckOf(kvGLObject *pObject) const;
    // A colour dialog seeded with pInitial; false when cancelled.
    static bool chooseColor(QColor pInitial, QColor *pChosen);

    Ui_kvDebugWindow *ui = nullptr;
    QPointer<kvGLWindow> m_glWindow;
    bool m_initializing = false;
    QPointer<kvGLModel> m_followedModel;
};
