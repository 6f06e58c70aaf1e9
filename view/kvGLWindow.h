#pragma once

#include "kvDefines.h"
#include "kvModel.h"
#include "kvVector3D.h"

#include <QGLFunctions>
#include <QGLWidget>
#include <QMatrix4x4>
#include <QStringList>
#include <QVector2D>
#include <QVector>

class kvGLCamera;
class kvGLLightSource;
class kvGLModel;
class kvGLObject;
class kvGLOrigin;
class kvGLPrinterArea;
class kvGLPrinterBed;
class kvGLPrinterBedCenter;
class kvGLRulers;
class kvGLRulersShade;

// The 3D view: the printable volume with its overlays and the shown parts, an orbit
// camera, and the mouse, wheel and key handling that moves the camera or the part.
// Every change signal of its objects repaints at once, except while it paints or
// inserts a model.
class kvGLWindow : public QGLWidget, protected QGLFunctions
{
    Q_OBJECT
public:
    explicit kvGLWindow(QWidget *pParent = nullptr);
    ~kvGLWindow() override;

    kvGLCamera *camera() const { return m_camera; }
    kvGLPrinterArea *printerArea() const { return m_printerArea; }
    kvGLPrinterBed *printerBed() const { return m_printerBed; }
    kvGLPrinterBedCenter *printerBedCenter() const { return m_printerBedCenter; }
    kvGLRulers *rulersX() const { return m_rulersX; }
    kvGLRulers *rulersY() const { return m_rulersY; }
    kvGLRulers *rulersZ() const { return m_rulersZ; }
    kvGLRulersShade *rulerXShade() const { return m_rulerXShade; }
    kvGLRulersShade *rulerYShade() const { return m_rulerYShade; }
    kvGLRulersShade *rulerZShade() const { return m_rulerZShade; }
    kvGLLightSource *lightSource() const { return m_lightSource; }
    kvGLOrigin *origin() const { return m_origin; }
    QVector<kvGLModel *> glModels() const { return m_glModels; }

    kvVector3D bedSize() const { return m_bedSize; }
    Kv::Defines::kvGLRotationType rotationType() const { return m_rotationType; }
    QPoint mousePosition() const { return m_mousePosition; }
    kvVector3D worldCoordinates() const { return m_worldCoordinates; }
    QVector2D pixelSize() const { return m_pixelSize; }
    float aspectRatio() const { return m_aspectRatio; }
    QRect orthographicSize() const { return m_orthographicSize; }
    QColor backgroundColor() const { return m_backgroundColor; }
    QMatrix4x4 projection() const { return m_projection; }
    QString glVersion() const { return m_glVersion; }
    QString glRenderer() const { return m_glRenderer; }
    QString glVender() const { return m_glVendor; }
    QString glslVersion() const { return m_glslVersion; }
    QStringList glExtensions() const { return m_glExtensions; }

    void setBackgroundColor(QColor pValue);
    void setRotationType(Kv::Defines::kvGLRotationType pValue);
    void setOrthographicSize(QRect pValue);
    void setPerspective();
    void internalUpdateGL();
    QString getErrorFromGL();
    static QString errorName(unsigned int pError);

    // The printer's bed size (x width, y depth, z height), stored in scene axes (x, z, y).
    void setBedSize(kvVector3D pSize);
    void insertModel(int pIndex, kvModel pModel);
    void addModel(kvModel pModel);
    void removeModel(int pIndex);
    void replaceModel(int pIndex, kvModel pModel);
    void centerModel();
    void landModel(bool pRefresh);
    void updateRulerShades();
    void setWorldCoordinates();
    void updateDistance(int pStep);
    void setLastMousePoint(QPoint pPosition);
    void setPixelSize();
    void checkBounds();

signals:
    void sizeChanged();
    void rotationChanged(float pAlpha, float pBeta);
    void rotationTypeChanged(Kv::Defines::kvGLRotationType pValue);
    void scaleValueChanged(float pValue);
    void modelTranslationChanged();
    void mousePositionChanged(QPoint pPosition);
    void worldCoordinateChanged(kvVector3D pValue);
    void pixelSizeChanged(QVector2D);
    void projectionTypeChanged();

protected:
    void initializeGL() override;
    void resizeGL(int pWidth, int pHeight) override;
    void paintGL() override;
    void mousePressEvent(QMouseEvent *pEvent) override;
    void mouseMoveEvent(QMouseEvent *pEvent) override;
    void wheelEvent(QWheelEvent *pEvent) override;
    void keyPressEvent(QKeyEvent *pEvent) override;

private slots:
    void onObjectChanged();
    void onObjectChanged(kvGLObject *pObject);
    void cameraAngleChanged();
    void cameraPlaneChanged();
    void onObjectRotationChanged(kvGLObject *pObject);

private:
    void repaintScene();
    void makeContextCurrent();
    void connectOverlay(kvGLObject *pObject);
    void storeMousePosition(QPoint pPosition);
    // Moves the eye by pStep along its axis, within the zoom limits; announces the distance.
    void zoomBy(float pStep);
    // Lands the shown part on the plate and recolours its box and strips.
    void placeModelOnBed();

    kvVector3D m_bedSize {0, 0, 0};
    QPoint m_mousePosition;
    Kv::Defines::kvGLRotationType m_rotationType = Kv::Defines::GLRotationTypeView;
    kvVector3D m_worldCoordinates;
    QVector2D m_pixelSize;
    float m_aspectRatio = 1;
    QColor m_backgroundColor = Qt::white;
    bool m_paiting = false;
    bool m_initializing = false;
    bool m_shadesUpdating = false;
    bool m_glReady = false;
    QString m_glVersion;
    QString m_glRenderer;
    QString m_glVendor;
    QStringList m_glExtensions;
    QString m_glslVersion;
    QMatrix4x4 m_projection;
    QRect m_orthographicSize;
    kvGLCamera *m_camera = nullptr;
    kvGLRulersShade *m_rulerXShade = nullptr;
    kvGLRulersShade *m_rulerYShade = nullptr;
    kvGLRulersShade *m_rulerZShade = nullptr;
    kvGLPrinterArea *m_printerArea = nullptr;
    kvGLPrinterBed *m_printerBed = nullptr;
    kvGLPrinterBedCenter *m_printerBedCenter = nullptr;
    kvGLRulers *m_rulersX = nullptr;
    kvGLRulers *m_rulersY = nullptr;
    kvGLRulers *m_rulersZ = nullptr;
    kvGLLightSource *m_lightSource = nullptr;
    kvGLOrigin *m_origin = nullptr;
    QVector<kvModel> m_models;
    QVector<kvGLModel *> m_glModels;
    bool m_modelLoading = false;
    int m_updateCount = 0;
};
