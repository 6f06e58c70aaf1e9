// The inspector's form and its binding to the view: building the widgets' connections,
// filling every page from the view and finding the objects the edits act on.
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
#include "kvWindowFit.h"
#include "ui_kvDebugWindow.h"

#include <QScrollArea>

using namespace Kv::Defines;

kvDebugWindow::kvDebugWindow(QWidget *pParent)
    : QMainWindow(pParent)
    , ui(new Ui_kvDebugWindow)
{
    ui->setupUi(this);
    Kv::fitWhenShown(this);
    scrollLongPages();
    connectWidgets();
    m_initializing = false;
}

void kvDebugWindow::scrollLongPages()
{
    // Each page scrolls, so the window keeps its size on a small screen.
    QTabWidget *tPages = ui->tabWidget;
    const int tCurrent = tPages->currentIndex();
    for (int i = 0; i < tPages->count(); ++i) {
        QWidget *tPage = tPages->widget(i);
        const QString tTitle = tPages->tabText(i);
        tPages->removeTab(i);
        auto *tScroll = new QScrollArea;
        tScroll->setObjectName(tPage->objectName() + QStringLiteral("Scroll"));
        tScroll->setWidgetResizable(true);
        tScroll->setFrameShape(QFrame::NoFrame);
        tScroll->setWidget(tPage);
        tPages->insertTab(i, tScroll, tTitle);
    }
    tPages->setCurrentIndex(tCurrent);
    resize(661, 762);
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
