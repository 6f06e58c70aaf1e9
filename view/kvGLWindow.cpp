#include "kvGLWindow.h"

#include "kvGLCamera.h"
#include "kvGLLightSource.h"
#include "kvGLModel.h"
#include "kvGLModelMBR.h"
#include "kvGLOrigin.h"
#include "kvGLPrinterArea.h"
#include "kvGLPrinterBed.h"
#include "kvGLPrinterBedCenter.h"
#include "kvGLRulers.h"
#include "kvGLRulersShade.h"
#include "kvGLViewMath.h"
#include "kvLogging.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>

using namespace Kv::Defines;

namespace {
QString glText(unsigned int pName)
{
    const GLubyte *tText = glGetString(pName);
    return tText ? QString::fromUtf8(reinterpret_cast<const char *>(tText)) : QString();
}

const char *yesNo(bool pValue)
{
    return pValue ? "true" : "false";
}
} // namespace

kvGLWindow::kvGLWindow(QWidget *pParent)
    : QGLWidget(pParent)
{
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_MouseTracking);
    setMouseTracking(true);

    m_camera = new kvGLCamera(this);
    m_rulerXShade = new kvGLRulersShade(this);
    m_rulerYShade = new kvGLRulersShade(this);
    m_rulerZShade = new kvGLRulersShade(this);
    m_printerArea = new kvGLPrinterArea(this);
    m_printerBed = new kvGLPrinterBed(this);
    m_printerBedCenter = new kvGLPrinterBedCenter(this);
    m_rulersX = new kvGLRulers(this);
    m_rulersY = new kvGLRulers(this);
    m_rulersZ = new kvGLRulers(this);
    m_lightSource = new kvGLLightSource(this);
    m_origin = new kvGLOrigin(this);

    m_updateCount = 0;
    m_modelLoading = false;
    m_camera->setProjectionType(GLProjectionTypePerspective);
    setBackgroundColor(Qt::white);
    m_rotationType = GLRotationTypeView;
    emit rotationTypeChanged(GLRotationTypeView);
    setBedSize(kvVector3D(200, 200, 200));

    for (kvGLObject *tObject : std::initializer_list<kvGLObject *> {m_origin, m_printerArea,
             m_printerBed, m_printerBedCenter, m_rulersX, m_rulersY, m_rulersZ, m_rulerXShade,
             m_rulerYShade, m_rulerZShade, m_lightSource})
        connectOverlay(tObject);

    connect(m_origin, SIGNAL(LineWidthChanged()), SLOT(onObjectChanged()));
    for (QObject *tPlate :
        {static_cast<QObject *>(m_printerArea), static_cast<QObject *>(m_printerBed)}) {
        connect(tPlate, SIGNAL(DimensionsChanged()), SLOT(onObjectChanged()));
        connect(tPlate, SIGNAL(LineWidthChanged()), SLOT(onObjectChanged()));
    }
    connect(m_printerBedCenter, SIGNAL(SizeChanged()), SLOT(onObjectChanged()));
    connect(m_printerBedCenter, SIGNAL(SlicesChanged()), SLOT(onObjectChanged()));
    for (kvGLRulers *tRulers : {m_rulersX, m_rulersY, m_rulersZ}) {
        connect(tRulers, SIGNAL(LineWidthChanged()), SLOT(onObjectChanged()));
        connect(tRulers, SIGNAL(BedSizeChanged()), SLOT(onObjectChanged()));
    }
    for (kvGLRulersShade *tShade : {m_rulerXShade, m_rulerYShade, m_rulerZShade}) {
        connect(tShade, SIGNAL(CoordinateChanged()), SLOT(onObjectChanged()));
        connect(tShade, SIGNAL(LineWidthChanged()), SLOT(onObjectChanged()));
        connect(tShade, SIGNAL(WidthChanged()), SLOT(onObjectChanged()));
        connect(tShade, SIGNAL(AlphaChanged()), SLOT(onObjectChanged()));
    }
    connect(m_lightSource, SIGNAL(AngleChanged()), SLOT(onObjectChanged()));
    connect(m_lightSource, SIGNAL(ModelMatrixChanged()), SLOT(onObjectChanged()));
    connect(m_lightSource, SIGNAL(PositionChanged()), SLOT(onObjectChanged()));
    for (const char *tSignal : {SIGNAL(AngleChanged()), SIGNAL(FarPlaneChanged()),
             SIGNAL(NearPlaneChanged()), SIGNAL(CenterChanged()), SIGNAL(DistanceChanged()),
             SIGNAL(UpChanged()), SIGNAL(ThetaChanged()), SIGNAL(PhiChanged()),
             SIGNAL(ProjectionTypeChanged()), SIGNAL(ResetTriggered())})
        connect(m_camera, tSignal, SLOT(onObjectChanged()));
}

kvGLWindow::~kvGLWindow()
{
    // Buffers and programs are freed in the context that owns them.
    makeContextCurrent();
    m_models.clear();
    qDeleteAll(m_glModels);
    m_glModels.clear();
    delete m_camera;
    for (kvGLObject *tObject : std::initializer_list<kvGLObject *> {m_rulerXShade, m_rulerYShade,
             m_rulerZShade, m_printerArea, m_printerBed, m_printerBedCenter, m_rulersX, m_rulersY,
             m_rulersZ, m_lightSource, m_origin})
        delete tObject;
    if (m_glReady)
        doneCurrent();
}

void kvGLWindow::connectOverlay(kvGLObject *pObject)
{
    connect(pObject, SIGNAL(VisibleChanged(kvGLObject *)), SLOT(onObjectChanged(kvGLObject *)));
    connect(pObject, SIGNAL(ColorChanged(kvGLObject *)), SLOT(onObjectChanged(kvGLObject *)));
    connect(pObject, SIGNAL(VerticesChanged(kvGLObject *)), SLOT(onObjectChanged(kvGLObject *)));
    connect(pObject, SIGNAL(TranslationChanged(kvGLObject *)), SLOT(onObjectChanged(kvGLObject *)));
    connect(pObject, SIGNAL(MatrixChanged(kvGLObject *)), SLOT(onObjectChanged(kvGLObject *)));
}

void kvGLWindow::makeContextCurrent()
{
    if (m_glReady && isValid())
        makeCurrent();
}

void kvGLWindow::repaintScene()
{
    if (m_paiting || m_modelLoading || m_initializing || m_shadesUpdating)
        return;
    updateGL();
}

void kvGLWindow::onObjectChanged()
{
    repaintScene();
}

void kvGLWindow::onObjectChanged(kvGLObject *)
{
    repaintScene();
}

void kvGLWindow::cameraAngleChanged()
{
    repaintScene();
}

void kvGLWindow::cameraPlaneChanged()
{
    repaintScene();
}

void kvGLWindow::internalUpdateGL()
{
    repaintScene();
}

void kvGLWindow::setBackgroundColor(QColor pValue)
{
    m_backgroundColor = pValue;
    repaintScene();
}

void kvGLWindow::setRotationType(kvGLRotationType pValue)
{
    m_rotationType = pValue;
    emit rotationTypeChanged(pValue);
}

void kvGLWindow::setOrthographicSize(QRect pValue)
{
    m_orthographicSize = pValue;
    repaintScene();
}

QString kvGLWindow::errorName(unsigned int pError)
{
    switch (pError) {
    case GL_NO_ERROR:
        return QStringLiteral("No error");
    case GL_INVALID_ENUM:
        return QStringLiteral("Invalid Enum");
    case GL_INVALID_VALUE:
        return QStringLiteral("Invalid Value");
    case GL_INVALID_OPERATION:
        return QStringLiteral("Invalid Operation");
    case GL_OUT_OF_MEMORY:
        return QStringLiteral("Out of Memory");
    case 0x0506:
        return QStringLiteral("Invalid Framebuffer operation");
    default:
        return QStringLiteral("unknown");
    }
}

QString kvGLWindow::getErrorFromGL()
{
    makeContextCurrent();
    return errorName(glGetError());
}

void kvGLWindow::initializeGL()
{
    m_initializing = true;
    initializeGLFunctions();
    m_glVersion = glText(GL_VERSION);
    m_glRenderer = glText(GL_RENDERER);
    m_glVendor = glText(GL_VENDOR);
    m_glslVersion = glText(GL_SHADING_LANGUAGE_VERSION);
    const QString tExtensions = glText(GL_EXTENSIONS);
    m_glExtensions = tExtensions.isEmpty()
        ? QStringList()
        : tExtensions.split(QLatin1Char(' '), Qt::KeepEmptyParts);

    m_printerArea->initializeGL();
    m_printerBed->initializeGL();
    m_printerBedCenter->initializeGL();
    m_rulersX->initializeGL(CoordinateX, m_bedSize);
    m_rulersY->initializeGL(CoordinateY, m_bedSize);
    m_rulersZ->initializeGL(CoordinateZ, m_bedSize);
    m_rulerXShade->initializeGL(CoordinateX, Qt::red);
    m_rulerYShade->initializeGL(CoordinateY, Qt::green);
    m_rulerZShade->initializeGL(CoordinateZ, Qt::blue);
    m_lightSource->initializeGL();
    m_origin->initializeGL();

    glFrontFace(GL_CW);
    glCullFace(GL_FRONT);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_CULL_FACE);
    m_glReady = true;
    m_initializing = false;
}

void kvGLWindow::resizeGL(int pWidth, int pHeight)
{
    setPixelSize();
    const int tHeight = pHeight == 0 ? 1 : pHeight;
    m_aspectRatio = float(pWidth) / float(tHeight);
    m_orthographicSize = kvGLViewMath::orthographicRect(pWidth, pHeight);
    emit sizeChanged();
}

void kvGLWindow::setPixelSize()
{
    m_pixelSize = QVector2D(2.0f / float(qMax(1, width())), 2.0f / float(qMax(1, height())));
    emit pixelSizeChanged(m_pixelSize);
}

void kvGLWindow::setPerspective()
{
    m_projection = kvGLViewMath::projectionMatrix(m_camera->projectionType(), m_camera->angle(),
        m_aspectRatio, m_camera->nearPlane(), m_camera->farPlane(), m_orthographicSize);
    const qreal tRatio = devicePixelRatioF();
    glViewport(0, 0, int(width() * tRatio), int(height() * tRatio));
}

void kvGLWindow::paintGL()
{
    m_paiting = true;
    setPerspective();
    glClearColor(float(m_backgroundColor.redF()), float(m_backgroundColor.greenF()),
        float(m_backgroundColor.blueF()), float(m_backgroundColor.alphaF()));
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    m_camera->setMatrix();
    const QMatrix4x4 tView = m_camera->matrix();

    m_printerArea->paintGL(m_projection, tView);
    m_printerBed->paintGL(m_projection, tView);
    m_rulersX->paintGL(m_projection, tView);
    m_rulersY->paintGL(m_projection, tView);
    m_rulersZ->paintGL(m_projection, tView);

    glDisable(GL_CULL_FACE);
    m_printerBedCenter->paintGL(m_projection, tView);
    // The strips lie in the rulers' planes: pulled a little toward the eye, they show over
    // the ticks instead of losing the depth test to them.
    glEnable(GL_POLYGON_OFFSET_FILL);
    glPolygonOffset(-1.0f, -2.0f);
    m_rulerXShade->paintGL(m_projection, tView);
    m_rulerYShade->paintGL(m_projection, tView);
    m_rulerZShade->paintGL(m_projection, tView);
    glDisable(GL_POLYGON_OFFSET_FILL);
    glEnable(GL_CULL_FACE);

    const QVector<kvGLModel *> tModels = m_glModels;
    for (kvGLModel *tModel : tModels) {
        tModel->initializeGL();
        tModel->checkBounds(m_bedSize);
        tModel->paintGL(m_projection, tView, m_lightSource->position());
    }
    m_paiting = false;
}

void kvGLWindow::setBedSize(kvVector3D pSize)
{
    m_bedSize = kvVector3D(pSize.x(), pSize.z(), pSize.y());
    makeContextCurrent();
    m_printerArea->setDimensions(m_bedSize);
    m_printerBed->setDimensions(m_bedSize);
    for (kvGLRulers *tRulers : {m_rulersX, m_rulersY, m_rulersZ})
        tRulers->setBedSize(m_bedSize);
    for (kvGLRulersShade *tShade : {m_rulerXShade, m_rulerYShade, m_rulerZShade})
        tShade->setBedSize(m_bedSize);
    placeModelOnBed();
    repaintScene();
}

void kvGLWindow::placeModelOnBed()
{
    if (m_glModels.isEmpty())
        return;
    // The shown part goes onto the new plate (landing also undoes a drag, so it stands
    // where it was centred), and its box colour and strips follow.
    kvGLModel *tModel = m_glModels.first();
    tModel->land(-m_bedSize.y() * 0.5f);
    tModel->checkBounds(m_bedSize);
    updateRulerShades();
}

void kvGLWindow::insertModel(int pIndex, kvModel pModel)
{
    if (pIndex < 0 || pIndex > m_glModels.size()) {
        qCWarning(lcView, "kvGLWindow::insertModel: index %d out of range", pIndex);
        return;
    }
    makeContextCurrent();
    m_updateCount = 0;
    m_modelLoading = true;
    m_models.insert(pIndex, pModel);
    kvGLModel *tModel = new kvGLModel(pModel, this);
    m_glModels.insert(pIndex, tModel);

    for (const char *tSignal : {SIGNAL(VisibleChanged(kvGLObject *)),
             SIGNAL(ColorChanged(kvGLObject *)), SIGNAL(VerticesChanged(kvGLObject *)),
             SIGNAL(TranslationChanged(kvGLObject *)), SIGNAL(MatrixChanged(kvGLObject *)),
             SIGNAL(UserTranslationChanged(kvGLObject *)), SIGNAL(ObjectChanged(kvGLObject *))})
        connect(tModel, tSignal, SLOT(onObjectChanged(kvGLObject *)));
    for (const char *tSignal :
        {SIGNAL(AmbientColorChanged()), SIGNAL(AmbientReflectivityColorChanged()),
            SIGNAL(DiffuseColorChanged()), SIGNAL(DiffuseReflectivityColorChange()),
            SIGNAL(RotationChanged()), SIGNAL(ScaleChanged()), SIGNAL(ShininessChanged()),
            SIGNAL(SpecularColorChanged()), SIGNAL(SpecularReflectivityColorChanged())})
        connect(tModel, tSignal, SLOT(onObjectChanged()));
    connect(tModel, SIGNAL(UserRotationChanged(kvGLObject *)),
        SLOT(onObjectRotationChanged(kvGLObject *)));

    m_modelLoading = false;
    centerModel();
    repaintScene();
}

void kvGLWindow::addModel(kvModel pModel)
{
    // Before the last shown model; with none shown, as the first.
    insertModel(qMax(0, m_glModels.size() - 1), pModel);
}

void kvGLWindow::removeModel(int pIndex)
{
    if (pIndex < 0 || pIndex >= m_glModels.size())
        return;
    makeContextCurrent();
    m_models.remove(pIndex);
    delete m_glModels.takeAt(pIndex);
    repaintScene();
}

void kvGLWindow::replaceModel(int pIndex, kvModel pModel)
{
    removeModel(pIndex);
    insertModel(pIndex, pModel);
}

void kvGLWindow::landModel(bool pRefresh)
{
    if (m_glModels.isEmpty())
        return;
    makeContextCurrent();
    m_glModels.first()->land(-m_bedSize.y() * 0.5f);
    if (pRefresh) {
        updateRulerShades();
        repaintScene();
    }
}

void kvGLWindow::centerModel()
{
    if (m_glModels.isEmpty())
        return;
    landModel(false);
    m_glModels.first()->center();
    updateRulerShades();
    repaintScene();
}

void kvGLWindow::onObjectRotationChanged(kvGLObject *)
{
    centerModel();
    repaintScene();
}

void kvGLWindow::updateRulerShades()
{
    // Counted whether or not the trace is on: a disabled trace evaluates nothing.
    ++m_updateCount;
    qCDebug(lcView).noquote() << "void kvGLWindow::updateRulerShades()";
    qCDebug(lcView).noquote() << "     m_paiting:" << yesNo(m_paiting);
    qCDebug(lcView).noquote() << "m_modelLoading:" << yesNo(m_modelLoading);
    qCDebug(lcView).noquote() << " m_updateCount:" << m_updateCount;
    if (m_glModels.isEmpty())
        return;
    makeContextCurrent();
    // The extent of the part as it is placed now.
    const kvBoundingBox tBox = m_glModels.first()->placedBox();
    // The callers repaint once all three strips are rebuilt; a frame in between would
    // show the fixed strips.
    m_shadesUpdating = true;
    for (kvGLRulersShade *tShade : {m_rulerXShade, m_rulerYShade, m_rulerZShade})
        tShade->updateVertices(m_bedSize, tBox.minPoint(), tBox.maxPoint());
    m_shadesUpdating = false;
}

void kvGLWindow::checkBounds()
{
    if (m_glModels.isEmpty())
        return;
    m_glModels.first()->checkBounds(m_bedSize);
}

void kvGLWindow::setWorldCoordinates()
{
    const qreal tRatio = devicePixelRatioF();
    QRect tViewport(0, 0, int(width() * tRatio), int(height() * tRatio));
    float tDepth = 1.0f;
    const int tX = int(m_mousePosition.x() * tRatio);
    int tRow = kvGLViewMath::framebufferRow(tViewport.height(), int(m_mousePosition.y() * tRatio));
    if (m_glReady && isValid()) {
        makeCurrent();
        GLint tGLViewport[4] = {0, 0, 0, 0};
        glGetIntegerv(GL_VIEWPORT, tGLViewport);
        if (tGLViewport[2] > 0 && tGLViewport[3] > 0) {
            tViewport = QRect(tGLViewport[0], tGLViewport[1], tGLViewport[2], tGLViewport[3]);
            tRow = kvGLViewMath::framebufferRow(
                tViewport.height(), int(m_mousePosition.y() * tRatio));
        }
        // Only pixels inside the framebuffer can be read.
        if (tX >= 0 && tX < tViewport.width() && tRow >= 0 && tRow < tViewport.height())
            glReadPixels(tX, tRow, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &tDepth);
    }
    m_camera->setMatrix();
    m_worldCoordinates
        = kvGLViewMath::unproject(tX, tRow, tDepth, m_projection, m_camera->matrix(), tViewport);
    emit worldCoordinateChanged(m_worldCoordinates);
}

void kvGLWindow::storeMousePosition(QPoint pPosition)
{
    m_mousePosition = pPosition;
    emit mousePositionChanged(pPosition);
    setWorldCoordinates();
}

void kvGLWindow::setLastMousePoint(QPoint pPosition)
{
    storeMousePosition(pPosition);
}

void kvGLWindow::updateDistance(int pStep)
{
    zoomBy(float(pStep));
}

void kvGLWindow::zoomBy(float pStep)
{
    m_camera->setDistance(kvGLViewMath::zoomedDistance(
        m_camera->distance(), pStep, m_camera->center(), m_camera->farPlane()));
    emit scaleValueChanged(m_camera->distance());
}

void kvGLWindow::mousePressEvent(QMouseEvent *pEvent)
{
    storeMousePosition(pEvent->localPos().toPoint());
    pEvent->accept();
}

void kvGLWindow::mouseMoveEvent(QMouseEvent *pEvent)
{
    const QPoint tPosition = pEvent->localPos().toPoint();
    const int tDx = tPosition.x() - m_mousePosition.x();
    const int tDy = tPosition.y() - m_mousePosition.y();
    storeMousePosition(tPosition);

    const Qt::MouseButtons tButtons = pEvent->buttons();
    kvGLModel *tModel = m_glModels.isEmpty() ? nullptr : m_glModels.first();
    if (tButtons == Qt::LeftButton) {
        if (m_rotationType == GLRotationTypeModel && tModel) {
            const kvVector3D tOffset = tModel->userTranslation();
            const kvVector3D tEye = kvGLCamera::eyePosition(
                m_camera->center(), m_camera->distance(), m_camera->theta(), m_camera->phi());
            const QPointF tMove = kvGLViewMath::plateDrag(
                tDx, tDy, m_camera->theta(), tEye.y() >= -m_bedSize.y() * 0.5f);
            tModel->setUserTranslation(kvVector3D(
                tOffset.x() + float(tMove.x()), tOffset.y(), tOffset.z() + float(tMove.y())));
            emit modelTranslationChanged();
            updateRulerShades();
            repaintScene();
        } else if (m_rotationType == GLRotationTypeView) {
            m_camera->setTheta(m_camera->theta() - tDx);
            const float tWrapped = kvGLViewMath::wrapAngle(m_camera->theta());
            if (tWrapped != m_camera->theta())
                m_camera->setTheta(tWrapped);
            m_camera->setPhi(m_camera->phi() - tDy);
            const float tClamped = kvGLViewMath::clampElevation(m_camera->phi());
            if (tClamped != m_camera->phi())
                m_camera->setPhi(tClamped);
            emit rotationChanged(m_camera->theta(), m_camera->phi());
            repaintScene();
        }
    } else if (tButtons == Qt::RightButton && m_rotationType == GLRotationTypeModel && tModel) {
        const kvVector3D tOffset = tModel->userTranslation();
        tModel->setUserTranslation(kvVector3D(tOffset.x(), tOffset.y() - tDy, tOffset.z()));
        emit modelTranslationChanged();
        updateRulerShades();
        repaintScene();
    }
    pEvent->accept();
}

void kvGLWindow::wheelEvent(QWheelEvent *pEvent)
{
    const int tDelta = pEvent->angleDelta().y();
    if (tDelta != 0)
        zoomBy(float(kvGLViewMath::wheelStep(tDelta)));
    pEvent->accept();
}

void kvGLWindow::keyPressEvent(QKeyEvent *pEvent)
{
    if (pEvent->key() == Qt::Key_Up)
        updateDistance(-1);
    else if (pEvent->key() == Qt::Key_Down)
        updateDistance(1);
    pEvent->accept();
}
