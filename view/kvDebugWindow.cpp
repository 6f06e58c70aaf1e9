#include "kvDebugWindow.h"

#include "kvDialogs.h"
#include "kvGLCamera.h"
#include "kvGLLightSource.h"
#include "kvGLModel.h"
#include "kvGLModelCenter.h"
#include "kvGLModelMBR.h"
#include "kvGLOrigin.h"
#include "kvGLPrinterArea.h"
#include "kvGLPrinterBed.h"
#include "kvGLPrinterBedCenter.h"
#include "kvGLRulers.h"
#include "kvGLRulersShade.h"
#include "kvGLWindow.h"
#include "kvVertexTableModel.h"
#include "kvWidgetHelpers.h"
#include "ui_kvDebugWindow.h"

#include <QSignalBlocker>
#include <cmath>

using namespace Kv::Defines;

namespace {

void showNumber(QLineEdit *pField, double pValue)
{
    pField->setText(Kv::numberText(pValue));
}

void showInteger(QLineEdit *pField, int pValue)
{
    pField->setText(QString::number(pValue));
}

void showVector(QLineEdit *pX, QLineEdit *pY, QLineEdit *pZ, kvVector3D pValue)
{
    showNumber(pX, pValue.x());
    showNumber(pY, pValue.y());
    showNumber(pZ, pValue.z());
}

kvVector3D vectorFrom(QLineEdit *pX, QLineEdit *pY, QLineEdit *pZ)
{
    return kvVector3D(Kv::floatFromText(pX->text()), Kv::floatFromText(pY->text()),
        Kv::floatFromText(pZ->text()));
}

// The slider's position for an angle: truncated toward zero, within the slider's range.
int sliderPosition(double pAngle, int pMinimum, int pMaximum)
{
    if (!std::isfinite(pAngle))
        return pAngle > 0 ? pMaximum : pMinimum;
    return int(qBound(double(pMinimum), std::trunc(pAngle), double(pMaximum)));
}

// Truncated toward zero; NaN and values beyond int give a bounded integer.
int truncatedInt(float pValue)
{
    if (!(pValue == pValue))
        return 0;
    return int(qBound(-2147483520.0f, std::trunc(pValue), 2147483520.0f));
}

} // namespace

kvDebugWindow::kvDebugWindow(QWidget *pParent)
    : QMainWindow(pParent)
    , ui(new Ui_kvDebugWindow)
{
    ui->setupUi(this);
    connectWidgets();
    m_initializing = false;
}

kvDebugWindow::~kvDebugWindow()
{
    delete ui;
}

void kvDebugWindow::connectWidgets()
{
    using W = kvDebugWindow;
    auto tText = [this](QLineEdit *pField, void (W::*pSlot)(QString)) {
        connect(pField, &QLineEdit::textChanged, this, pSlot);
    };
    auto tRow = [&](QLineEdit *pX, QLineEdit *pY, QLineEdit *pZ, void (W::*pSlot)(QString)) {
        for (QLineEdit *tField : {pX, pY, pZ})
            tText(tField, pSlot);
    };
    auto tClick = [this](QAbstractButton *pButton, void (W::*pSlot)()) {
        connect(pButton, &QAbstractButton::clicked, this, pSlot);
    };

    // Settings
    tClick(ui->backgroundColorButton, &W::backgroundColorChanged);
    tRow(ui->eyePositionXBox, ui->eyePositionYBox, ui->eyePositionZBox,
        &W::cameraPositionTextChanged);
    tRow(ui->eyeUpPositionXBox, ui->eyeUpPositionYBox, ui->eyeUpPositionZBox,
        &W::cameraUpDirectionTextChanged);
    connect(ui->projectionAngleSlider, &QSlider::sliderMoved, this, &W::angleSliderChanged);
    tText(ui->projectionNearPlaneTextBox, &W::nearPlaneTextChanged);
    tText(ui->projectionFarPlaneTextBox, &W::farPlaneTextChanged);
    tText(ui->rotationAlphaText, &W::rotationAlpahTextChanged);
    tText(ui->rotationBetaText, &W::rotationBetaTextChanged);
    tText(ui->scaleValueText, &W::scaleValueTextChanged);
    for (QLineEdit *tField : {ui->glPerspectiveOrthoBottomText, ui->glPerspectiveOrthoTopText,
             ui->glPerspectiveOrthoLeftText, ui->glPerspectiveOrthoRightText})
        tText(tField, &W::orthoSizeTextChanged);

    // Origin
    tClick(ui->glOriginVisibleCheck, &W::originVisibleChanged);
    tClick(ui->glOriginColorButton, &W::originColorButtonClicked);
    tText(ui->glOriginLineWidthText, &W::originLineWidthTextChanged);
    tRow(ui->glOriginTranslationXText, ui->glOriginTranslationYText, ui->glOriginTranslationZText,
        &W::originTranslationChanged);

    // Printer area and bed
    tClick(ui->glPrinterAreaVisibleCheck, &W::printerAreaVisibleChanged);
    tClick(ui->glPrinterAreaColorButton, &W::printerAreaColorChnaged);
    tText(ui->glPrinterAreaLineWidthText, &W::printerAreaLineWidthTextChanged);
    tRow(ui->glPrinterAreaTranslationXText, ui->glPrinterAreaTranslationYText,
        ui->glPrinterAreaTranslationZText, &W::printerAreaTranslationChanged);
    tRow(ui->glPrinterAreaDimensionsXText, ui->glPrinterAreaDimensionsYText,
        ui->glPrinterAreaDimensionsZText, &W::printerAreaDimensionsChanged);
    tClick(ui->glPrinterBedVisibleCheck, &W::printerBedVisibleChanged);
    tClick(ui->glPrinterBedColorButton, &W::printerBedColorChanged);
    tText(ui->glPrinterBedLineWidthText, &W::printerBedLineWidthTextChanged);
    tRow(ui->glPrinterBedTranslationXText, ui->glPrinterBedTranslationYText,
        ui->glPrinterBedTranslationZText, &W::printerBedTranslationChanged);
    tRow(ui->glPrinterBedDimensionsXText, ui->glPrinterBedDimensionsYText,
        ui->glPrinterBedDimensionsZText, &W::printerBedDimensionsChanged);

    // Bed centre
    tClick(ui->glPrinterBedCenterVisibleCheck, &W::printerBedCenterVisibleChanged);
    tClick(ui->glPrinterBedCenterColorButton, &W::printerBedCenterColorChanged);
    tText(ui->glPrinterBedCenterSizeText, &W::printerBedCenterSizeChanged);
    tText(ui->glPrinterBedCenterSlicesText, &W::printerBedCenterSlicesChanged);
    tRow(ui->glPrinterBedCenterPositionXText, ui->glPrinterBedCenterPositionYText,
        ui->glPrinterBedCenterPositionZText, &W::printerBedCenterTranslationChanged);

    // Rulers
    tClick(ui->glRulersXVisibleCheck, &W::rulersXVisibleChanged);
    tClick(ui->glRulersXColorButton, &W::rulersXColorButtonClicked);
    tText(ui->glRulersXLineWidthText, &W::rulersXLineWidthTextChanged);
    tText(ui->glRulersXBedSizeText, &W::rulersXBedSizeChanged);
    tRow(ui->glRulerXTranslationXText, ui->glRulerXTranslationYText, ui->glRulerXTranslationZText,
        &W::rulersXTranslationChanged);
    tClick(ui->glRulersYVisibleCheck, &W::rulersYVisibleChanged);
    tClick(ui->glRulersYColorButton, &W::rulersYColorButtonClicked);
    tText(ui->glRulersYLineWidthText, &W::rulersYLineWidthTextChanged);
    tText(ui->glRulersYBedSizeText, &W::rulersYBedSizeChanged);
    tRow(ui->glRulerYTranslationXText, ui->glRulerYTranslationYText, ui->glRulerYTranslationZText,
        &W::rulersYTranslationChanged);
    tClick(ui->glRulersZVisibleCheck, &W::rulersZVisibleChanged);
    tClick(ui->glRulersZColorButton, &W::rulersZColorButtonClicked);
    tText(ui->glRulersZLineWidthText, &W::rulersZLineWidthTextChanged);
    tText(ui->glRulersZBedSizeText, &W::rulersZBedSizeChanged);
    tRow(ui->glRulerZTranslationXText, ui->glRulerZTranslationYText, ui->glRulerZTranslationZText,
        &W::rulersZTranslationChanged);

    // Ruler shades
    tClick(ui->glRulersShadeXVisibleCheck, &W::rulersShadeXVisibleChanged);
    tClick(ui->glRulersShadeXColorButton, &W::rulersShadeXColorButtonClicked);
    tText(ui->glRulersShadeXWidthText, &W::rulersShadeXWidthTextChanged);
    tText(ui->glRulersShadeXAlphaText, &W::rulersShadeXAlphaTextChanged);
    tRow(ui->glRulerShadeXTranslationXText, ui->glRulerShadeXTranslationYText,
        ui->glRulerShadeXTranslationZText, &W::rulersShadeXTranslationChanged);
    tClick(ui->glRulersShadeYVisibleCheck, &W::rulersShadeYVisibleChanged);
    tClick(ui->glRulersShadeYColorButton, &W::rulersShadeYColorButtonClicked);
    tText(ui->glRulersShadeYWidthText, &W::rulersShadeYWidthTextChanged);
    tText(ui->glRulersShadeYAlphaText, &W::rulersShadeYAlphaTextChanged);
    tRow(ui->glRulerShadeYTranslationXText, ui->glRulerShadeYTranslationYText,
        ui->glRulerShadeYTranslationZText, &W::rulersShadeYTranslationChanged);
    tClick(ui->glRulersShadeZVisibleCheck, &W::rulersShadeZVisibleChanged);
    tClick(ui->glRulersShadeZColorButton, &W::rulersShadeZColorButtonClicked);
    tText(ui->glRulersShadeZWidthText, &W::rulersShadeZWidthTextChanged);
    tText(ui->glRulersShadeZAlphaText, &W::rulersShadeZAlphaTextChanged);
    tRow(ui->glRulerShadeZTranslationXText, ui->glRulerShadeZTranslationYText,
        ui->glRulerShadeZTranslationZText, &W::rulersShadeZTranslationChanged);

    // Model
    tClick(ui->glModelVisibleCheck, &W::modelVisibleChanged);
    tClick(ui->modelColorButton, &W::modelColorClicked);
    tClick(ui->modelColorAmbientButton, &W::modelColorAmbientClicked);
    tClick(ui->modelDiffuseColorButton, &W::modelColorDiffuseClicked);
    tClick(ui->modelSpecularColorButton, &W::modelColorSpecularClicked);
    tClick(ui->modelAmbientReflectColorButton, &W::modelColorAmbientReflectClicked);
    tClick(ui->modelDiffuseReflectColorButton, &W::modelColorDiffuseReflectClicked);
    tClick(ui->modelSpecularReflectColorButton, &W::modelColorSpecularReflectClicked);
    tText(ui->modelShininessText, &W::modelShininessTextChanged);
    tRow(ui->modelTranslationXText, ui->modelTranslationYText, ui->modelTranslationZText,
        &W::modelTranslationTextChanged);
    tRow(ui->modelRotationXText, ui->modelRotationYText, ui->modelRotationZText,
        &W::modelRotationTextChanged);
    connect(ui->modelScaleSpinBox, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this,
        &W::modelScaleChanged);

    // Model box and centre
    tClick(ui->glModelMBRVisibleCheck, &W::modelMBRVisibleChanged);
    tClick(ui->glModelMBRColorButton, &W::modelMBRColorClicked);
    tText(ui->glModelMBRLineWidthText, &W::modelMBRLineWidthChanged);
    tRow(ui->glModelMBRTranslationXText, ui->glModelMBRTranslationYText,
        ui->glModelMBRTranslationZText, &W::modelMBRTranslationChanged);
    tClick(ui->glModelCenterVisibleCheck, &W::modelCenterVisibleChanged);
    tClick(ui->glModelCenterColorButton, &W::modelCenterColorClicked);
    tText(ui->glModelCenterLineWidthText, &W::modelCenterLineWidthChanged);

    // Light source
    tClick(ui->glLightSourceVisibleCheck, &W::lightSourceVisibleChanged);
    tRow(ui->glLightSourceAngleXText, ui->glLightSourceAngleYText, ui->glLightSourceAngleZText,
        &W::lightSourceAngleTextChanged);
    tRow(ui->glLightSourcePositionXText, ui->glLightSourcePositionYText,
        ui->glLightSourcePositionZText, &W::lightSourcePositionTextChanged);
    tRow(ui->glLightSourceWorldXText, ui->glLightSourceWorldYText, ui->glLightSourceWorldZText,
        &W::lightSourceTranslationTextChanged);
}

// ---------------------------------------------------------------------------------------
// Binding

void kvDebugWindow::initializeWidget(kvGLWindow *pView)
{
    if (m_glWindow)
        disconnect(m_glWindow, nullptr, this, nullptr);
    m_glWindow = pView;
    if (!pView)
        return;
    Guard tGuard(m_initializing);

    connect(pView, &kvGLWindow::rotationChanged, this, &kvDebugWindow::onRotationChanged);
    connect(pView, &kvGLWindow::scaleValueChanged, this, &kvDebugWindow::onScaleValueChanged);
    connect(pView, &kvGLWindow::rotationTypeChanged, this, &kvDebugWindow::onRotationTypeChanged);
    connect(pView, &kvGLWindow::modelTranslationChanged, this,
        &kvDebugWindow::onModelTranslationChanged);
    connect(pView, &kvGLWindow::mousePositionChanged, this, &kvDebugWindow::onMousePositionChanged);
    connect(pView, &kvGLWindow::worldCoordinateChanged, this,
        &kvDebugWindow::onWorldCoordinatesChanged);
    connect(pView, &kvGLWindow::sizeChanged, this, &kvDebugWindow::onSizeChanged);
    connect(pView, &kvGLWindow::projectionTypeChanged, this, &kvDebugWindow::projectionTypeChanged);

    for (kvGLObject *tObject : std::initializer_list<kvGLObject *> {pView->printerArea(),
             pView->printerBed(), pView->printerBedCenter(), pView->origin(), pView->rulersX(),
             pView->rulersY(), pView->rulersZ(), pView->rulerXShade(), pView->rulerYShade(),
             pView->rulerZShade(), pView->lightSource()})
        connectVisibility(tObject);

    // Open GL Info
    setVersion(pView->glVersion());
    setRenderer(pView->glRenderer());
    setVender(pView->glVender());
    ui->extensionsList->clear();
    setExtensions(pView->glExtensions());
    setShaderVersion(pView->glslVersion());
    onSizeChanged();

    // Settings
    kvGLCamera *tCamera = pView->camera();
    setPerspectiveAngle(tCamera->angle());
    setProjectionFarPlane(tCamera->farPlane());
    setProjectionNearPlane(tCamera->nearPlane());
    setOrthographicRect(pView->orthographicSize());
    setBackgroundColor(pView->backgroundColor());
    setRotationAlpha(tCamera->theta());
    setRotationBeta(tCamera->phi());
    setCameraPosition(tCamera->center());
    setScale(tCamera->distance());
    setRotationType(pView->rotationType());

    // Scene objects
    kvGLOrigin *tOrigin = pView->origin();
    setOriginVisible(tOrigin->visible());
    setOriginLineWidth(tOrigin->lineWidth());
    setOriginVertices(tOrigin->vertices());
    setOriginColor(tOrigin->color());
    setOriginTranslation(tOrigin->translation());

    kvGLPrinterArea *tArea = pView->printerArea();
    setPrinterAreaVisible(tArea->visible());
    setPrinterAreaColor(tArea->color());
    setPrinterAreaLineWidth(tArea->lineWidth());
    setPrinterAreaDimensions(tArea->dimensions());
    setPrinterAreaVertices(tArea->vertices());
    setPrinterAreaTranslation(tArea->translation());

    kvGLPrinterBed *tBed = pView->printerBed();
    setPrinterBedVisible(tBed->visible());
    setPrinterBedColor(tBed->color());
    setPrinterBedLineWidth(tBed->lineWidth());
    setPrinterBedDimensions(tBed->dimensions());
    setPrinterBedVertices(tBed->vertices());
    setPrinterBedTranslation(tBed->translation());

    kvGLPrinterBedCenter *tCenter = pView->printerBedCenter();
    setPrinterBedCenterVisible(tCenter->visible());
    setPrinterBedCenterColor(tCenter->color());
    setPrinterBedCenterSize(tCenter->size());
    setPrinterBedCenterSlices(tCenter->slices());
    setPrinterBedCenterVertices(tCenter->vertices());
    setPrinterBedCenterTranslation(tCenter->translation());

    kvGLRulersShade *tShadeX = pView->rulerXShade();
    setRulersXShadeVisible(tShadeX->visible());
    setRulersXShadeColor(tShadeX->color());
    setRulersXShadeVertices(tShadeX->vertices());
    setRulersXShadeWidth(tShadeX->width());
    setRulersXShadeAlpha(tShadeX->alpha());
    setRulersXShadeTranslation(tShadeX->translation());
    kvGLRulersShade *tShadeY = pView->rulerYShade();
    setRulersYShadeVisible(tShadeY->visible());
    setRulersYShadeColor(tShadeY->color());
    setRulersYShadeVertices(tShadeY->vertices());
    setRulersYShadeWidth(tShadeY->width());
    setRulersYShadeAlpha(tShadeY->alpha());
    setRulersYShadeTranslation(tShadeY->translation());
    kvGLRulersShade *tShadeZ = pView->rulerZShade();
    setRulersZShadeVisible(tShadeZ->visible());
    setRulersZShadeColor(tShadeZ->color());
    setRulersZShadeVertices(tShadeZ->vertices());
    setRulersZShadeWidth(tShadeZ->width());
    setRulersZShadeAlpha(tShadeZ->alpha());
    setRulersZShadeTranslation(tShadeZ->translation());

    kvGLRulers *tRulersX = pView->rulersX();
    setRulersXVisible(tRulersX->visible());
    setRulersXLineWidth(tRulersX->lineWidth());
    setRulersXColor(tRulersX->color());
    setRulersXVertices(tRulersX->vertices());
    setRulersXBedSize(tRulersX->bedSize().x());
    kvGLRulers *tRulersY = pView->rulersY();
    setRulersYVisible(tRulersY->visible());
    setRulersYLineWidth(tRulersY->lineWidth());
    setRulersYColor(tRulersY->color());
    setRulersYVertices(tRulersY->vertices());
    setRulersYBedSize(tRulersY->bedSize().y());
    kvGLRulers *tRulersZ = pView->rulersZ();
    setRulersZVisible(tRulersZ->visible());
    setRulersZLineWidth(tRulersZ->lineWidth());
    setRulersZColor(tRulersZ->color());
    setRulersZVertices(tRulersZ->vertices());
    setRulersZBedSize(tRulersZ->bedSize().z());

    kvGLLightSource *tLight = pView->lightSource();
    setLightSourceVisible(tLight->visible());
    setLightSourceAngle(tLight->angle());
    setLightSourcePosition(tLight->position());
    setLightSourceTranslation(tLight->translation());
    setLightSourceVertices(tLight->vertices());

    if (kvGLModel *tModel = firstModel())
        fillModelPages(tModel);
}

void kvDebugWindow::fillModelPages(kvGLModel *pModel)
{
    Guard tGuard(m_initializing);
    if (m_followedModel != pModel) {
        if (m_followedModel)
            disconnect(m_followedModel, nullptr, this, nullptr);
        m_followedModel = pModel;
        connect(pModel, &kvGLObject::TranslationChanged, this,
            &kvDebugWindow::onModelObjectTranslationChanged);
    }
    for (kvGLObject *tObject :
        std::initializer_list<kvGLObject *> {pModel, pModel->boundingBox(), pModel->modelCenter()})
        connectVisibility(tObject);

    setModelVisible(pModel->visible());
    setModelColor(pModel->color());
    setModelAmbientColor(pModel->ambientColor());
    setModelDiffuseColor(pModel->diffuseColor());
    setModelSpecularColor(pModel->specularColor());
    setModelAmbientReflectivityColor(
        Kv::reflectivitySwatchColor(pModel->ambientReflectivityColor()));
    setModelDiffuseReflectivityColor(
        Kv::reflectivitySwatchColor(pModel->diffuseReflectivityColor()));
    setModelSpecularReflectivityColor(
        Kv::reflectivitySwatchColor(pModel->specularReflectivityColor()));
    setModelShininess(pModel->shininess());
    setModelTranslation(pModel->translation());
    setModelScale(pModel->scale());
    setModelRotation(pModel->rotation());
    setModelUserTranslation(pModel->userTranslation());

    kvGLModelMBR *tBox = pModel->boundingBox();
    setModelMBRColor(tBox->color());
    setModelMBRVisible(tBox->visible());
    setModelMBRLineWidth(tBox->lineWidth());
    setModelMBRTranslation(tBox->translation());
    setModelMBRVertices(tBox->vertices());

    kvGLModelCenter *tMarker = pModel->modelCenter();
    setModelCenterVisible(tMarker->visible());
    setModelCenterColor(tMarker->color());
    setModelCenterLineWidth(tMarker->lineWidth());
    setModelCenterVertices(tMarker->vertices());
}

void kvDebugWindow::connectVisibility(kvGLObject *pObject)
{
    if (pObject)
        connect(pObject, &kvGLObject::VisibleChanged, this, &kvDebugWindow::objectVisibleChanged,
            Qt::UniqueConnection);
}

void kvDebugWindow::initializeModel(kvModel pModel)
{
    Guard tGuard(m_initializing);
    setModelFileTriangles(pModel.triangles().size());
    setModelFileVertices(pModel.vertexVector().size());
    setModelFileNormals(pModel.normals().size());
    const kvBoundingBox tBox = pModel.boundingBox();
    setModelCenter(tBox.center());
    setModelMins(tBox.minPoint());
    setModelMaxes(tBox.maxPoint());
    setModelVertices(pModel.vertexVector());
    // The model tabs show the model the edits act on.
    if (kvGLModel *tModel = firstModel())
        fillModelPages(tModel);
}

bool kvDebugWindow::canEdit() const
{
    return m_glWindow && !m_initializing;
}

kvGLModel *kvDebugWindow::firstModel() const
{
    if (!m_glWindow)
        return nullptr;
    const QVector<kvGLModel *> tModels = m_glWindow->glModels();
    return tModels.isEmpty() ? nullptr : tModels.first();
}

bool kvDebugWindow::chooseColor(QColor pInitial, QColor *pChosen)
{
    const QColor tColor = kvDialogs::color(pInitial);
    if (!tColor.isValid())
        return false;
    *pChosen = tColor;
    return true;
}

QCheckBox *kvDebugWindow::visibleCheckOf(kvGLObject *pObject) const
{
    if (!m_glWindow || !pObject)
        return nullptr;
    kvGLWindow *tView = m_glWindow;
    const std::pair<kvGLObject *, QCheckBox *> tPairs[] = {
        {tView->origin(), ui->glOriginVisibleCheck},
        {tView->printerArea(), ui->glPrinterAreaVisibleCheck},
        {tView->printerBed(), ui->glPrinterBedVisibleCheck},
        {tView->printerBedCenter(), ui->glPrinterBedCenterVisibleCheck},
        {tView->rulersX(), ui->glRulersXVisibleCheck},
        {tView->rulersY(), ui->glRulersYVisibleCheck},
        {tView->rulersZ(), ui->glRulersZVisibleCheck},
        {tView->rulerXShade(), ui->glRulersShadeXVisibleCheck},
        {tView->rulerYShade(), ui->glRulersShadeYVisibleCheck},
        {tView->rulerZShade(), ui->glRulersShadeZVisibleCheck},
        {tView->lightSource(), ui->glLightSourceVisibleCheck},
    };
    for (const auto &tPair : tPairs)
        if (tPair.first == pObject)
            return tPair.second;
    if (kvGLModel *tModel = firstModel()) {
        if (pObject == tModel)
            return ui->glModelVisibleCheck;
        if (pObject == tModel->boundingBox())
            return ui->glModelMBRVisibleCheck;
        if (pObject == tModel->modelCenter())
            return ui->glModelCenterVisibleCheck;
    }
    return nullptr;
}

// ---------------------------------------------------------------------------------------
// Display slots

void kvDebugWindow::onSizeChanged()
{
    if (!m_glWindow)
        return;
    Guard tGuard(m_initializing);
    showInteger(ui->glWidgetHeightText, m_glWindow->height());
    showInteger(ui->glWidgetWidthText, m_glWindow->width());
    showNumber(ui->glWidgetAspectRatioText, m_glWindow->aspectRatio());
    const QVector2D tPixel = m_glWindow->pixelSize();
    showNumber(ui->glPixelSizeHeightText, tPixel.y());
    showNumber(ui->glPixelSizeWidthText, tPixel.x());
}

void kvDebugWindow::onRotationChanged(float pAlpha, float pBeta)
{
    Guard tGuard(m_initializing);
    setRotationAlpha(pAlpha);
    setRotationBeta(pBeta);
}

void kvDebugWindow::onRotationTypeChanged(kvGLRotationType pValue)
{
    if (m_initializing)
        return;
    Guard tGuard(m_initializing);
    setRotationType(pValue);
}

void kvDebugWindow::onScaleValueChanged(float pValue)
{
    if (m_initializing)
        return;
    Guard tGuard(m_initializing);
    setScale(pValue);
}

void kvDebugWindow::onModelTranslationChanged()
{
    kvGLModel *tModel = firstModel();
    if (!tModel)
        return;
    Guard tGuard(m_initializing);
    setModelTranslation(tModel->translation());
    setModelUserTranslation(tModel->userTranslation());
}

void kvDebugWindow::onModelObjectTranslationChanged(kvGLObject *pObject)
{
    // Landing and centring move the model; its own edits are already in the fields.
    if (m_initializing || pObject != firstModel())
        return;
    Guard tGuard(m_initializing);
    setModelTranslation(pObject->translation());
}

void kvDebugWindow::onMousePositionChanged(QPoint pPosition)
{
    Guard tGuard(m_initializing);
    showInteger(ui->glMousePosWinXText, pPosition.x());
    showInteger(ui->glMousePosWinYText, pPosition.y());
    ui->glMousePosWinZText->setText(QStringLiteral("0.0"));
}

void kvDebugWindow::onWorldCoordinatesChanged(kvVector3D pValue)
{
    Guard tGuard(m_initializing);
    showVector(
        ui->glMousePosWorldXText, ui->glMousePosWorldYText, ui->glMousePosWorldZText, pValue);
}

void kvDebugWindow::projectionTypeChanged()
{
    if (!m_glWindow)
        return;
    if (m_glWindow->camera()->projectionType() == GLProjectionTypePerspective)
        ui->perspectiveButton->setChecked(true);
    else
        ui->orthoButton->setChecked(true);
}

void kvDebugWindow::objectVisibleChanged(kvGLObject *pObject)
{
    if (QCheckBox *tCheck = visibleCheckOf(pObject))
        tCheck->setChecked(pObject->visible());
}

// ---------------------------------------------------------------------------------------
// Display setters

void kvDebugWindow::setVersion(QString pValue)
{
    ui->versionText->setText(pValue);
}
void kvDebugWindow::setRenderer(QString pValue)
{
    ui->rendererText->setText(pValue);
}
void kvDebugWindow::setVender(QString pValue)
{
    ui->venderText->setText(pValue);
}
void kvDebugWindow::setShaderVersion(QString pValue)
{
    ui->shaderVersionText->setText(pValue);
}
void kvDebugWindow::setExtensions(QStringList pValue)
{
    for (const QString &tExtension : pValue)
        ui->extensionsList->appendPlainText(tExtension);
}

void kvDebugWindow::setBackgroundColor(QColor pValue)
{
    Kv::fillLabelPaletteWithColor(ui->backgroundColorLabel, pValue);
}
void kvDebugWindow::setPerspectiveAngle(double pValue)
{
    showNumber(ui->projectionAngleTextBox, pValue);
    QSlider *tSlider = ui->projectionAngleSlider;
    tSlider->setValue(sliderPosition(pValue, tSlider->minimum(), tSlider->maximum()));
}
void kvDebugWindow::setProjectionNearPlane(double pValue)
{
    showNumber(ui->projectionNearPlaneTextBox, pValue);
}
void kvDebugWindow::setProjectionFarPlane(double pValue)
{
    showNumber(ui->projectionFarPlaneTextBox, pValue);
}
void kvDebugWindow::setOrthographicRect(QRect pValue)
{
    showInteger(ui->glPerspectiveOrthoTopText, pValue.top());
    showInteger(ui->glPerspectiveOrthoLeftText, pValue.left());
    showInteger(ui->glPerspectiveOrthoRightText, pValue.bottomRight().x());
    showInteger(ui->glPerspectiveOrthoBottomText, pValue.bottomRight().y());
}
void kvDebugWindow::setRotationType(kvGLRotationType pValue)
{
    if (pValue == GLRotationTypeView)
        ui->rotationTypeText->setText(QStringLiteral("View"));
    else if (pValue == GLRotationTypeModel)
        ui->rotationTypeText->setText(QStringLiteral("Model"));
}
void kvDebugWindow::setRotationAlpha(float pValue)
{
    showNumber(ui->rotationAlphaText, pValue);
}
void kvDebugWindow::setRotationBeta(float pValue)
{
    showNumber(ui->rotationBetaText, pValue);
}
void kvDebugWindow::setCameraPosition(kvVector3D pValue)
{
    showVector(ui->eyePositionXBox, ui->eyePositionYBox, ui->eyePositionZBox, pValue);
}
void kvDebugWindow::setCameraUpDirection(kvVector3D pValue)
{
    showVector(ui->eyeUpPositionXBox, ui->eyeUpPositionYBox, ui->eyeUpPositionZBox, pValue);
}
void kvDebugWindow::setScale(float pValue)
{
    showNumber(ui->scaleValueText, pValue);
}

void kvDebugWindow::setOriginVisible(bool pValue)
{
    ui->glOriginVisibleCheck->setChecked(pValue);
}
void kvDebugWindow::setPrinterAreaVisible(bool pValue)
{
    ui->glPrinterAreaVisibleCheck->setChecked(pValue);
}
void kvDebugWindow::setPrinterBedVisible(bool pValue)
{
    ui->glPrinterBedVisibleCheck->setChecked(pValue);
}
void kvDebugWindow::setPrinterBedCenterVisible(bool pValue)
{
    ui->glPrinterBedCenterVisibleCheck->setChecked(pValue);
}
void kvDebugWindow::setRulersXVisible(bool pValue)
{
    ui->glRulersXVisibleCheck->setChecked(pValue);
}
void kvDebugWindow::setRulersYVisible(bool pValue)
{
    ui->glRulersYVisibleCheck->setChecked(pValue);
}
void kvDebugWindow::setRulersZVisible(bool pValue)
{
    ui->glRulersZVisibleCheck->setChecked(pValue);
}
void kvDebugWindow::setRulersXShadeVisible(bool pValue)
{
    ui->glRulersShadeXVisibleCheck->setChecked(pValue);
}
void kvDebugWindow::setRulersYShadeVisible(bool pValue)
{
    ui->glRulersShadeYVisibleCheck->setChecked(pValue);
}
void kvDebugWindow::setRulersZShadeVisible(bool pValue)
{
    ui->glRulersShadeZVisibleCheck->setChecked(pValue);
}
void kvDebugWindow::setModelVisible(bool pValue)
{
    ui->glModelVisibleCheck->setChecked(pValue);
}
void kvDebugWindow::setModelMBRVisible(bool pValue)
{
    ui->glModelMBRVisibleCheck->setChecked(pValue);
}
void kvDebugWindow::setModelCenterVisible(bool pValue)
{
    ui->glModelCenterVisibleCheck->setChecked(pValue);
}
void kvDebugWindow::setLightSourceVisible(bool pValue)
{
    ui->glLightSourceVisibleCheck->setChecked(pValue);
}

void kvDebugWindow::setOriginColor(QColor pValue)
{
    Kv::fillLabelPaletteWithColor(ui->glOriginColorLabel, pValue);
}
void kvDebugWindow::setPrinterAreaColor(QColor pValue)
{
    Kv::fillLabelPaletteWithColor(ui->glPrinterAreaColorLabel, pValue);
}
void kvDebugWindow::setPrinterBedColor(QColor pValue)
{
    Kv::fillLabelPaletteWithColor(ui->glPrinterBedColorLabel, pValue);
}
void kvDebugWindow::setPrinterBedCenterColor(QColor pValue)
{
    Kv::fillLabelPaletteWithColor(ui->glPrinterBedCenterColorLabel, pValue);
}
void kvDebugWindow::setRulersXColor(QColor pValue)
{
    Kv::fillLabelPaletteWithColor(ui->glRulersXColorLabel, pValue);
}
void kvDebugWindow::setRulersYColor(QColor pValue)
{
    Kv::fillLabelPaletteWithColor(ui->glRulersYColorLabel, pValue);
}
void kvDebugWindow::setRulersZColor(QColor pValue)
{
    Kv::fillLabelPaletteWithColor(ui->glRulersZColorLabel, pValue);
}
void kvDebugWindow::setRulersXShadeColor(QColor pValue)
{
    Kv::fillLabelPaletteWithColor(ui->glRulersShadeXColorLabel, pValue);
}
void kvDebugWindow::setRulersYShadeColor(QColor pValue)
{
    Kv::fillLabelPaletteWithColor(ui->glRulersShadeYColorLabel, pValue);
}
void kvDebugWindow::setRulersZShadeColor(QColor pValue)
{
    Kv::fillLabelPaletteWithColor(ui->glRulersShadeZColorLabel, pValue);
}
void kvDebugWindow::setModelColor(QColor pValue)
{
    Kv::fillLabelPaletteWithColor(ui->modelColorLabel, pValue);
}
void kvDebugWindow::setModelMBRColor(QColor pValue)
{
    Kv::fillLabelPaletteWithColor(ui->glModelMBRColorLabel, pValue);
}
void kvDebugWindow::setModelCenterColor(QColor pValue)
{
    Kv::fillLabelPaletteWithColor(ui->glModelCenterColorLabel, pValue);
}

void kvDebugWindow::setOriginLineWidth(float pValue)
{
    showNumber(ui->glOriginLineWidthText, pValue);
}
void kvDebugWindow::setPrinterAreaLineWidth(float pValue)
{
    showNumber(ui->glPrinterAreaLineWidthText, pValue);
}
void kvDebugWindow::setPrinterBedLineWidth(float pValue)
{
    showNumber(ui->glPrinterBedLineWidthText, pValue);
}
void kvDebugWindow::setRulersXLineWidth(float pValue)
{
    showNumber(ui->glRulersXLineWidthText, pValue);
}
void kvDebugWindow::setRulersYLineWidth(float pValue)
{
    showNumber(ui->glRulersYLineWidthText, pValue);
}
void kvDebugWindow::setRulersZLineWidth(float pValue)
{
    showNumber(ui->glRulersZLineWidthText, pValue);
}
void kvDebugWindow::setModelMBRLineWidth(float pValue)
{
    showNumber(ui->glModelMBRLineWidthText, pValue);
}
void kvDebugWindow::setModelCenterLineWidth(float pValue)
{
    showNumber(ui->glModelCenterLineWidthText, pValue);
}

void kvDebugWindow::setOriginTranslation(kvVector3D pValue)
{
    showVector(ui->glOriginTranslationXText, ui->glOriginTranslationYText,
        ui->glOriginTranslationZText, pValue);
}
void kvDebugWindow::setPrinterAreaTranslation(kvVector3D pValue)
{
    showVector(ui->glPrinterAreaTranslationXText, ui->glPrinterAreaTranslationYText,
        ui->glPrinterAreaTranslationZText, pValue);
}
void kvDebugWindow::setPrinterBedTranslation(kvVector3D pValue)
{
    showVector(ui->glPrinterBedTranslationXText, ui->glPrinterBedTranslationYText,
        ui->glPrinterBedTranslationZText, pValue);
}
void kvDebugWindow::setPrinterBedCenterTranslation(kvVector3D pValue)
{
    showVector(ui->glPrinterBedCenterPositionXText, ui->glPrinterBedCenterPositionYText,
        ui->glPrinterBedCenterPositionZText, pValue);
}
void kvDebugWindow::setRulersXTranslation(kvVector3D pValue)
{
    showVector(ui->glRulerXTranslationXText, ui->glRulerXTranslationYText,
        ui->glRulerXTranslationZText, pValue);
}
void kvDebugWindow::setRulersYTranslation(kvVector3D pValue)
{
    showVector(ui->glRulerYTranslationXText, ui->glRulerYTranslationYText,
        ui->glRulerYTranslationZText, pValue);
}
void kvDebugWindow::setRulersZTranslation(kvVector3D pValue)
{
    showVector(ui->glRulerZTranslationXText, ui->glRulerZTranslationYText,
        ui->glRulerZTranslationZText, pValue);
}
void kvDebugWindow::setRulersXShadeTranslation(kvVector3D pValue)
{
    showVector(ui->glRulerShadeXTranslationXText, ui->glRulerShadeXTranslationYText,
        ui->glRulerShadeXTranslationZText, pValue);
}
void kvDebugWindow::setRulersYShadeTranslation(kvVector3D pValue)
{
    showVector(ui->glRulerShadeYTranslationXText, ui->glRulerShadeYTranslationYText,
        ui->glRulerShadeYTranslationZText, pValue);
}
void kvDebugWindow::setRulersZShadeTranslation(kvVector3D pValue)
{
    showVector(ui->glRulerShadeZTranslationXText, ui->glRulerShadeZTranslationYText,
        ui->glRulerShadeZTranslationZText, pValue);
}
void kvDebugWindow::setModelMBRTranslation(kvVector3D pValue)
{
    showVector(ui->glModelMBRTranslationXText, ui->glModelMBRTranslationYText,
        ui->glModelMBRTranslationZText, pValue);
}

void kvDebugWindow::setOriginVertices(QVector<kvVector3D> pValue)
{
    Kv::fillTableViewWithVertices(pValue, ui->glOriginVerticesTable);
}
void kvDebugWindow::setPrinterAreaVertices(QVector<kvVector3D> pValue)
{
    Kv::fillTableViewWithVertices(pValue, ui->glPrinterAreaVerticesTable);
}
void kvDebugWindow::setPrinterBedVertices(QVector<kvVector3D> pValue)
{
    Kv::fillTableViewWithVertices(pValue, ui->glPrinterBedVerticesTable);
}
void kvDebugWindow::setPrinterBedCenterVertices(QVector<kvVector3D> pValue)
{
    Kv::fillTableViewWithVertices(pValue, ui->glPrinterBedCenterTable);
}
void kvDebugWindow::setRulersXVertices(QVector<kvVector3D> pValue)
{
    Kv::fillTableViewWithVertices(pValue, ui->glRulersXVerticesTable);
}
void kvDebugWindow::setRulersYVertices(QVector<kvVector3D> pValue)
{
    Kv::fillTableViewWithVertices(pValue, ui->glRulersYVerticesTable);
}
void kvDebugWindow::setRulersZVertices(QVector<kvVector3D> pValue)
{
    Kv::fillTableViewWithVertices(pValue, ui->glRulersZVerticesTable);
}
void kvDebugWindow::setRulersXShadeVertices(QVector<kvVector3D> pValue)
{
    Kv::fillTableViewWithVertices(pValue, ui->glRulersShadeXVerticesTable);
}
void kvDebugWindow::setRulersYShadeVertices(QVector<kvVector3D> pValue)
{
    Kv::fillTableViewWithVertices(pValue, ui->glRulersShadeYVerticesTable);
}
void kvDebugWindow::setRulersZShadeVertices(QVector<kvVector3D> pValue)
{
    Kv::fillTableViewWithVertices(pValue, ui->glRulersShadeZVerticesTable);
}
void kvDebugWindow::setModelMBRVertices(QVector<kvVector3D> pValue)
{
    Kv::fillTableViewWithVertices(pValue, ui->glModelMBRVerticesTable);
}
void kvDebugWindow::setModelCenterVertices(QVector<kvVector3D> pValue)
{
    Kv::fillTableViewWithVertices(pValue, ui->glModelCenterVerticesTable);
}
void kvDebugWindow::setModelVertices(QVector<kvVector3D> pValue)
{
    Kv::fillTableViewWithVertices(pValue, ui->glModelVerticesTable);
}

void kvDebugWindow::setPrinterAreaDimensions(kvVector3D pValue)
{
    showVector(ui->glPrinterAreaDimensionsXText, ui->glPrinterAreaDimensionsYText,
        ui->glPrinterAreaDimensionsZText, pValue);
}
void kvDebugWindow::setPrinterBedDimensions(kvVector3D pValue)
{
    showVector(ui->glPrinterBedDimensionsXText, ui->glPrinterBedDimensionsYText,
        ui->glPrinterBedDimensionsZText, pValue);
}
void kvDebugWindow::setPrinterBedCenterSize(double pValue)
{
    showNumber(ui->glPrinterBedCenterSizeText, pValue);
}
void kvDebugWindow::setPrinterBedCenterSlices(int pValue)
{
    showInteger(ui->glPrinterBedCenterSlicesText, pValue);
}
void kvDebugWindow::setRulersXBedSize(float pValue)
{
    showNumber(ui->glRulersXBedSizeText, pValue);
}
void kvDebugWindow::setRulersYBedSize(float pValue)
{
    showNumber(ui->glRulersYBedSizeText, pValue);
}
void kvDebugWindow::setRulersZBedSize(float pValue)
{
    showNumber(ui->glRulersZBedSizeText, pValue);
}
void kvDebugWindow::setRulersXShadeWidth(float pValue)
{
    showNumber(ui->glRulersShadeXWidthText, pValue);
}
void kvDebugWindow::setRulersYShadeWidth(float pValue)
{
    showNumber(ui->glRulersShadeYWidthText, pValue);
}
void kvDebugWindow::setRulersZShadeWidth(float pValue)
{
    showNumber(ui->glRulersShadeZWidthText, pValue);
}
void kvDebugWindow::setRulersXShadeAlpha(float pValue)
{
    showNumber(ui->glRulersShadeXAlphaText, pValue);
}
void kvDebugWindow::setRulersYShadeAlpha(float pValue)
{
    showNumber(ui->glRulersShadeYAlphaText, pValue);
}
void kvDebugWindow::setRulersZShadeAlpha(float pValue)
{
    showNumber(ui->glRulersShadeZAlphaText, pValue);
}

void kvDebugWindow::setLightSourceAngle(kvVector3D pValue)
{
    showVector(ui->glLightSourceAngleXText, ui->glLightSourceAngleYText,
        ui->glLightSourceAngleZText, pValue);
}
void kvDebugWindow::setLightSourcePosition(kvVector3D pValue)
{
    showVector(ui->glLightSourcePositionXText, ui->glLightSourcePositionYText,
        ui->glLightSourcePositionZText, pValue);
}
void kvDebugWindow::setLightSourceTranslation(kvVector3D pValue)
{
    showVector(ui->glLightSourceWorldXText, ui->glLightSourceWorldYText,
        ui->glLightSourceWorldZText, pValue);
}
void kvDebugWindow::setLightSourceVertices(QVector<kvVector3D> pValue)
{
    QVector<QColor> tColors;
    if (m_glWindow) {
        const QVector<kvVector3D> tChannels = m_glWindow->lightSource()->vertexColor();
        tColors.reserve(tChannels.size());
        for (const kvVector3D &tChannel : tChannels)
            tColors << QColor(Kv::colorChannel(tChannel.x()), Kv::colorChannel(tChannel.y()),
                Kv::colorChannel(tChannel.z()), 255);
    }
    Kv::installTableModel(
        ui->glLightSourceVerticesTable, new kvVertexTableModel(pValue, tColors, this));
}

void kvDebugWindow::setModelAmbientColor(QColor pValue)
{
    Kv::fillLabelPaletteWithColor(ui->modelColorAmbientLabel, pValue);
}
void kvDebugWindow::setModelDiffuseColor(QColor pValue)
{
    Kv::fillLabelPaletteWithColor(ui->modelDiffuseColorLabel, pValue);
}
void kvDebugWindow::setModelSpecularColor(QColor pValue)
{
    Kv::fillLabelPaletteWithColor(ui->modelSpecularColorLabel, pValue);
}
void kvDebugWindow::setModelAmbientReflectivityColor(QColor pValue)
{
    Kv::fillLabelPaletteWithColor(ui->modelAmbientReflectColorLabel, pValue);
}
void kvDebugWindow::setModelDiffuseReflectivityColor(QColor pValue)
{
    Kv::fillLabelPaletteWithColor(ui->modelDiffuseReflectColorLabel, pValue);
}
void kvDebugWindow::setModelSpecularReflectivityColor(QColor pValue)
{
    Kv::fillLabelPaletteWithColor(ui->modelSpecularReflectColorLabel, pValue);
}
void kvDebugWindow::setModelShininess(float pValue)
{
    showNumber(ui->modelShininessText, pValue);
}
void kvDebugWindow::setModelTranslation(kvVector3D pValue)
{
    showVector(
        ui->modelTranslationXText, ui->modelTranslationYText, ui->modelTranslationZText, pValue);
}
void kvDebugWindow::setModelRotation(kvVector3D pValue)
{
    showVector(ui->modelRotationXText, ui->modelRotationYText, ui->modelRotationZText, pValue);
}
void kvDebugWindow::setModelUserTranslation(kvVector3D pValue)
{
    showVector(ui->modelUserTranslationXText, ui->modelUserTranslationYText,
        ui->modelUserTranslationZText, pValue);
}
void kvDebugWindow::setModelScale(float pValue)
{
    // Shown only: the box's bounds and rounding must not reach the model.
    const QSignalBlocker tBlocker(ui->modelScaleSpinBox);
    ui->modelScaleSpinBox->setValue(std::isfinite(pValue) ? double(pValue) : 0.0);
}
void kvDebugWindow::setModelFileTriangles(int pValue)
{
    showInteger(ui->modelFileTrainglesText, pValue);
}
void kvDebugWindow::setModelFileVertices(int pValue)
{
    showInteger(ui->modelFileVerticesText, pValue);
}
void kvDebugWindow::setModelFileNormals(int pValue)
{
    showInteger(ui->modelFileNormalsText, pValue);
}
void kvDebugWindow::setModelMins(kvVector3D pValue)
{
    showVector(ui->modelMinsXText, ui->modelMinsYText, ui->modelMinsZText, pValue);
}
void kvDebugWindow::setModelMaxes(kvVector3D pValue)
{
    showVector(ui->modelMaxesXText, ui->modelMaxesYText, ui->modelMaxesZText, pValue);
}
void kvDebugWindow::setModelCenter(kvVector3D pValue)
{
    showVector(ui->modelCenterXText, ui->modelCenterYText, ui->modelCenterZText, pValue);
}
void kvDebugWindow::setModelSize(kvVector3D pValue)
{
    showVector(ui->modelSizeXText, ui->modelSizeYText, ui->modelSizeZText, pValue);
}

// ---------------------------------------------------------------------------------------
// Edit slots. Each acts only when bound and not while the window writes its own fields;
// it holds the guard while it applies, so the object's echo does not rewrite the field
// being typed in.

#define KV_EDIT_GUARD                                                                              \
    if (!canEdit())                                                                                \
        return;                                                                                    \
    Guard tGuard(m_initializing)

#define KV_MODEL_EDIT_GUARD                                                                        \
    KV_EDIT_GUARD;                                                                                 \
    kvGLModel *tModel = firstModel();                                                              \
    if (!tModel)                                                                                   \
    return

void kvDebugWindow::backgroundColorChanged()
{
    KV_EDIT_GUARD;
    QColor tColor;
    if (!chooseColor(m_glWindow->backgroundColor(), &tColor))
        return;
    m_glWindow->setBackgroundColor(tColor);
    setBackgroundColor(tColor);
}

void kvDebugWindow::cameraPositionTextChanged(QString)
{
    KV_EDIT_GUARD;
    m_glWindow->camera()->setCenter(
        vectorFrom(ui->eyePositionXBox, ui->eyePositionYBox, ui->eyePositionZBox));
}

void kvDebugWindow::cameraUpDirectionTextChanged(QString)
{
    KV_EDIT_GUARD;
    m_glWindow->camera()->setUp(
        vectorFrom(ui->eyeUpPositionXBox, ui->eyeUpPositionYBox, ui->eyeUpPositionZBox));
}

void kvDebugWindow::angleSliderChanged(int pValue)
{
    KV_EDIT_GUARD;
    m_glWindow->camera()->setAngle(float(pValue));
    showInteger(ui->projectionAngleTextBox, pValue);
}

void kvDebugWindow::angleSliderReleaseed()
{
    KV_EDIT_GUARD;
    const int tValue = ui->projectionAngleSlider->value();
    m_glWindow->camera()->setAngle(float(tValue));
    showInteger(ui->projectionAngleTextBox, tValue);
}

void kvDebugWindow::nearPlaneTextChanged(QString pText)
{
    KV_EDIT_GUARD;
    m_glWindow->camera()->setNearPlane(Kv::floatFromText(pText));
}

void kvDebugWindow::farPlaneTextChanged(QString pText)
{
    KV_EDIT_GUARD;
    m_glWindow->camera()->setFarPlane(Kv::floatFromText(pText));
}

void kvDebugWindow::rotationAlpahTextChanged(QString pText)
{
    KV_EDIT_GUARD;
    m_glWindow->camera()->setTheta(Kv::floatFromText(pText));
}

void kvDebugWindow::rotationBetaTextChanged(QString pText)
{
    KV_EDIT_GUARD;
    m_glWindow->camera()->setPhi(Kv::floatFromText(pText));
}

void kvDebugWindow::scaleValueTextChanged(QString pText)
{
    KV_EDIT_GUARD;
    m_glWindow->camera()->setDistance(Kv::floatFromText(pText));
}

void kvDebugWindow::orthoSizeTextChanged(QString)
{
    KV_EDIT_GUARD;
    auto tEdge = [](QLineEdit *pField) { return truncatedInt(Kv::floatFromText(pField->text())); };
    const QPoint tTopLeft(
        tEdge(ui->glPerspectiveOrthoLeftText), tEdge(ui->glPerspectiveOrthoTopText));
    const QPoint tBottomRight(
        tEdge(ui->glPerspectiveOrthoRightText), tEdge(ui->glPerspectiveOrthoBottomText));
    m_glWindow->setOrthographicSize(QRect(tTopLeft, tBottomRight));
}

void kvDebugWindow::originVisibleChanged()
{
    KV_EDIT_GUARD;
    m_glWindow->origin()->setVisible(ui->glOriginVisibleCheck->isChecked());
}

void kvDebugWindow::originLineWidthTextChanged(QString pText)
{
    KV_EDIT_GUARD;
    m_glWindow->origin()->setLineWidth(Kv::floatFromText(pText));
}

void kvDebugWindow::originColorButtonClicked()
{
    KV_EDIT_GUARD;
    Kv::updateGLObjectColorAndLabel(ui->glOriginColorLabel, m_glWindow->origin());
}

void kvDebugWindow::originTranslationChanged(QString)
{
    KV_EDIT_GUARD;
    Kv::updateGLObjectTranslationFromLineEdit(ui->glOriginTranslationXText,
        ui->glOriginTranslationYText, ui->glOriginTranslationZText, m_glWindow->origin());
}

void kvDebugWindow::printerAreaVisibleChanged()
{
    KV_EDIT_GUARD;
    m_glWindow->printerArea()->setVisible(ui->glPrinterAreaVisibleCheck->isChecked());
}

void kvDebugWindow::printerAreaColorChnaged()
{
    KV_EDIT_GUARD;
    Kv::updateGLObjectColorAndLabel(ui->glPrinterAreaColorLabel, m_glWindow->printerArea());
}

void kvDebugWindow::printerAreaLineWidthTextChanged(QString pText)
{
    KV_EDIT_GUARD;
    m_glWindow->printerArea()->setLineWidth(Kv::floatFromText(pText));
}

void kvDebugWindow::printerAreaDimensionsChanged(QString)
{
    KV_EDIT_GUARD;
    m_glWindow->printerArea()->setDimensions(vectorFrom(ui->glPrinterAreaDimensionsXText,
        ui->glPrinterAreaDimensionsYText, ui->glPrinterAreaDimensionsZText));
}

void kvDebugWindow::printerAreaTranslationChanged(QString)
{
    KV_EDIT_GUARD;
    Kv::updateGLObjectTranslationFromLineEdit(ui->glPrinterAreaTranslationXText,
        ui->glPrinterAreaTranslationYText, ui->glPrinterAreaTranslationZText,
        m_glWindow->printerArea());
}

void kvDebugWindow::printerBedVisibleChanged()
{
    KV_EDIT_GUARD;
    m_glWindow->printerBed()->setVisible(ui->glPrinterBedVisibleCheck->isChecked());
}

void kvDebugWindow::printerBedColorChanged()
{
    KV_EDIT_GUARD;
    Kv::updateGLObjectColorAndLabel(ui->glPrinterBedColorLabel, m_glWindow->printerBed());
}

void kvDebugWindow::printerBedLineWidthTextChanged(QString pText)
{
    KV_EDIT_GUARD;
    m_glWindow->printerBed()->setLineWidth(Kv::floatFromText(pText));
}

void kvDebugWindow::printerBedDimensionsChanged(QString)
{
    KV_EDIT_GUARD;
    m_glWindow->printerBed()->setDimensions(vectorFrom(ui->glPrinterBedDimensionsXText,
        ui->glPrinterBedDimensionsYText, ui->glPrinterBedDimensionsZText));
}

void kvDebugWindow::printerBedTranslationChanged(QString)
{
    KV_EDIT_GUARD;
    Kv::updateGLObjectTranslationFromLineEdit(ui->glPrinterBedTranslationXText,
        ui->glPrinterBedTranslationYText, ui->glPrinterBedTranslationZText,
        m_glWindow->printerBed());
}

void kvDebugWindow::printerBedCenterVisibleChanged()
{
    KV_EDIT_GUARD;
    m_glWindow->printerBedCenter()->setVisible(ui->glPrinterBedCenterVisibleCheck->isChecked());
}

void kvDebugWindow::printerBedCenterColorChanged()
{
    KV_EDIT_GUARD;
    Kv::updateGLObjectColorAndLabel(
        ui->glPrinterBedCenterColorLabel, m_glWindow->printerBedCenter());
}

void kvDebugWindow::printerBedCenterSizeChanged(QString pText)
{
    KV_EDIT_GUARD;
    m_glWindow->printerBedCenter()->setSize(Kv::doubleFromText(pText));
}

void kvDebugWindow::printerBedCenterSlicesChanged(QString pText)
{
    KV_EDIT_GUARD;
    m_glWindow->printerBedCenter()->setSlices(Kv::intFromText(pText));
}

void kvDebugWindow::printerBedCenterTranslationChanged(QString)
{
    KV_EDIT_GUARD;
    Kv::updateGLObjectTranslationFromLineEdit(ui->glPrinterBedCenterPositionXText,
        ui->glPrinterBedCenterPositionYText, ui->glPrinterBedCenterPositionZText,
        m_glWindow->printerBedCenter());
}

// Rulers: a "Bed Size" field sets its own ruler's length along that ruler's axis.
#define KV_RULER_SLOTS(L, Axis)                                                                    \
    void kvDebugWindow::rulers##L##VisibleChanged()                                                \
    {                                                                                              \
        KV_EDIT_GUARD;                                                                             \
        m_glWindow->rulers##L()->setVisible(ui->glRulers##L##VisibleCheck->isChecked());           \
    }                                                                                              \
    void kvDebugWindow::rulers##L##LineWidthTextChanged(QString pText)                             \
    {                                                                                              \
        KV_EDIT_GUARD;                                                                             \
        m_glWindow->rulers##L()->setLineWidth(Kv::floatFromText(pText));                           \
    }                                                                                              \
    void kvDebugWindow::rulers##L##ColorButtonClicked()                                            \
    {                                                                                              \
        KV_EDIT_GUARD;                                                                             \
        Kv::updateGLObjectColorAndLabel(ui->glRulers##L##ColorLabel, m_glWindow->rulers##L());     \
    }                                                                                              \
    void kvDebugWindow::rulers##L##BedSizeChanged(QString pText)                                   \
    {                                                                                              \
        KV_EDIT_GUARD;                                                                             \
        kvGLRulers *tRulers = m_glWindow->rulers##L();                                             \
        kvVector3D tSize = tRulers->bedSize();                                                     \
        tSize[Axis] = Kv::floatFromText(pText);                                                    \
        tRulers->setBedSize(tSize);                                                                \
    }                                                                                              \
    void kvDebugWindow::rulers##L##TranslationChanged(QString)                                     \
    {                                                                                              \
        KV_EDIT_GUARD;                                                                             \
        Kv::updateGLObjectTranslationFromLineEdit(ui->glRuler##L##TranslationXText,                \
            ui->glRuler##L##TranslationYText, ui->glRuler##L##TranslationZText,                    \
            m_glWindow->rulers##L());                                                              \
    }

KV_RULER_SLOTS(X, 0)
KV_RULER_SLOTS(Y, 1)
KV_RULER_SLOTS(Z, 2)
#undef KV_RULER_SLOTS

#define KV_SHADE_SLOTS(L)                                                                          \
    void kvDebugWindow::rulersShade##L##VisibleChanged()                                           \
    {                                                                                              \
        KV_EDIT_GUARD;                                                                             \
        m_glWindow->ruler##L##Shade()->setVisible(                                                 \
            ui->glRulersShade##L##VisibleCheck->isChecked());                                      \
    }                                                                                              \
    void kvDebugWindow::rulersShade##L##ColorButtonClicked()                                       \
    {                                                                                              \
        KV_EDIT_GUARD;                                                                             \
        Kv::updateGLObjectColorAndLabel(                                                           \
            ui->glRulersShade##L##ColorLabel, m_glWindow->ruler##L##Shade());                      \
    }                                                                                              \
    void kvDebugWindow::rulersShade##L##WidthTextChanged(QString pText)                            \
    {                                                                                              \
        KV_EDIT_GUARD;                                                                             \
        m_glWindow->ruler##L##Shade()->setWidth(Kv::floatFromText(pText));                         \
    }                                                                                              \
    void kvDebugWindow::rulersShade##L##AlphaTextChanged(QString pText)                            \
    {                                                                                              \
        KV_EDIT_GUARD;                                                                             \
        m_glWindow->ruler##L##Shade()->setAlpha(Kv::floatFromText(pText));                         \
    }                                                                                              \
    void kvDebugWindow::rulersShade##L##TranslationChanged(QString)                                \
    {                                                                                              \
        KV_EDIT_GUARD;                                                                             \
        Kv::updateGLObjectTranslationFromLineEdit(ui->glRulerShade##L##TranslationXText,           \
            ui->glRulerShade##L##TranslationYText, ui->glRulerShade##L##TranslationZText,          \
            m_glWindow->ruler##L##Shade());                                                        \
    }

KV_SHADE_SLOTS(X)
KV_SHADE_SLOTS(Y)
KV_SHADE_SLOTS(Z)
#undef KV_SHADE_SLOTS

void kvDebugWindow::modelScaleChanged(double pValue)
{
    KV_MODEL_EDIT_GUARD;
    tModel->setScale(float(pValue));
}

void kvDebugWindow::modelVisibleChanged()
{
    KV_MODEL_EDIT_GUARD;
    tModel->setVisible(ui->glModelVisibleCheck->isChecked());
}

void kvDebugWindow::modelColorClicked()
{
    KV_MODEL_EDIT_GUARD;
    Kv::updateGLObjectColorAndLabel(ui->modelColorLabel, tModel);
}

void kvDebugWindow::modelColorAmbientClicked()
{
    KV_MODEL_EDIT_GUARD;
    QColor tColor;
    if (!chooseColor(tModel->ambientColor(), &tColor))
        return;
    tModel->setAmbientColor(tColor);
    setModelAmbientColor(tModel->ambientColor());
}

void kvDebugWindow::modelColorDiffuseClicked()
{
    KV_MODEL_EDIT_GUARD;
    QColor tColor;
    if (!chooseColor(tModel->diffuseColor(), &tColor))
        return;
    tModel->setDiffuseColor(tColor);
    setModelDiffuseColor(tModel->diffuseColor());
}

void kvDebugWindow::modelColorSpecularClicked()
{
    KV_MODEL_EDIT_GUARD;
    QColor tColor;
    if (!chooseColor(tModel->specularColor(), &tColor))
        return;
    tModel->setSpecularColor(tColor);
    setModelSpecularColor(tModel->specularColor());
}

// A reflectivity is picked as a grey: the chosen colour's brightness (0..1) is the factor.
void kvDebugWindow::modelColorAmbientReflectClicked()
{
    KV_MODEL_EDIT_GUARD;
    QColor tColor;
    if (!chooseColor(Kv::reflectivitySwatchColor(tModel->ambientReflectivityColor()), &tColor))
        return;
    tModel->setAmbientReflectivityColor(float(tColor.valueF()));
    setModelAmbientReflectivityColor(
        Kv::reflectivitySwatchColor(tModel->ambientReflectivityColor()));
}

void kvDebugWindow::modelColorDiffuseReflectClicked()
{
    KV_MODEL_EDIT_GUARD;
    QColor tColor;
    if (!chooseColor(Kv::reflectivitySwatchColor(tModel->diffuseReflectivityColor()), &tColor))
        return;
    tModel->setDiffuseReflectivityColor(float(tColor.valueF()));
    setModelDiffuseReflectivityColor(
        Kv::reflectivitySwatchColor(tModel->diffuseReflectivityColor()));
}

void kvDebugWindow::modelColorSpecularReflectClicked()
{
    KV_MODEL_EDIT_GUARD;
    QColor tColor;
    if (!chooseColor(Kv::reflectivitySwatchColor(tModel->specularReflectivityColor()), &tColor))
        return;
    tModel->setSpecularReflectivityColor(float(tColor.valueF()));
    setModelSpecularReflectivityColor(
        Kv::reflectivitySwatchColor(tModel->specularReflectivityColor()));
}

void kvDebugWindow::modelShininessTextChanged(QString pText)
{
    KV_MODEL_EDIT_GUARD;
    tModel->setShininess(Kv::floatFromText(pText));
}

void kvDebugWindow::modelTranslationTextChanged(QString)
{
    KV_MODEL_EDIT_GUARD;
    Kv::updateGLObjectTranslationFromLineEdit(
        ui->modelTranslationXText, ui->modelTranslationYText, ui->modelTranslationZText, tModel);
}

void kvDebugWindow::modelRotationTextChanged(QString)
{
    KV_MODEL_EDIT_GUARD;
    tModel->setRotation(
        vectorFrom(ui->modelRotationXText, ui->modelRotationYText, ui->modelRotationZText));
}

void kvDebugWindow::lightSourceVisibleChanged()
{
    KV_EDIT_GUARD;
    m_glWindow->lightSource()->setVisible(ui->glLightSourceVisibleCheck->isChecked());
}

void kvDebugWindow::lightSourceAngleTextChanged(QString)
{
    KV_EDIT_GUARD;
    m_glWindow->lightSource()->setAngle(vectorFrom(
        ui->glLightSourceAngleXText, ui->glLightSourceAngleYText, ui->glLightSourceAngleZText));
}

void kvDebugWindow::lightSourcePositionTextChanged(QString)
{
    KV_EDIT_GUARD;
    m_glWindow->lightSource()->setPosition(vectorFrom(ui->glLightSourcePositionXText,
        ui->glLightSourcePositionYText, ui->glLightSourcePositionZText));
}

void kvDebugWindow::lightSourceTranslationTextChanged(QString)
{
    KV_EDIT_GUARD;
    Kv::updateGLObjectTranslationFromLineEdit(ui->glLightSourceWorldXText,
        ui->glLightSourceWorldYText, ui->glLightSourceWorldZText, m_glWindow->lightSource());
}

void kvDebugWindow::modelMBRLineWidthChanged(QString pText)
{
    KV_MODEL_EDIT_GUARD;
    tModel->boundingBox()->setLineWidth(Kv::floatFromText(pText));
}

void kvDebugWindow::modelMBRVisibleChanged()
{
    KV_MODEL_EDIT_GUARD;
    tModel->boundingBox()->setVisible(ui->glModelMBRVisibleCheck->isChecked());
}

void kvDebugWindow::modelMBRColorClicked()
{
    KV_MODEL_EDIT_GUARD;
    Kv::updateGLObjectColorAndLabel(ui->glModelMBRColorLabel, tModel->boundingBox());
}

void kvDebugWindow::modelMBRTranslationChanged(QString)
{
    KV_MODEL_EDIT_GUARD;
    Kv::updateGLObjectTranslationFromLineEdit(ui->glModelMBRTranslationXText,
        ui->glModelMBRTranslationYText, ui->glModelMBRTranslationZText, tModel->boundingBox());
}

void kvDebugWindow::modelCenterVisibleChanged()
{
    KV_MODEL_EDIT_GUARD;
    tModel->modelCenter()->setVisible(ui->glModelCenterVisibleCheck->isChecked());
}

void kvDebugWindow::modelCenterColorClicked()
{
    KV_MODEL_EDIT_GUARD;
    Kv::updateGLObjectColorAndLabel(ui->glModelCenterColorLabel, tModel->modelCenter());
}

void kvDebugWindow::modelCenterLineWidthChanged(QString pText)
{
    KV_MODEL_EDIT_GUARD;
    tModel->modelCenter()->setLineWidth(Kv::floatFromText(pText));
}

#undef KV_MODEL_EDIT_GUARD
#undef KV_EDIT_GUARD
