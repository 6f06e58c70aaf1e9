// What the inspector shows: the view's signals written into the fields, and the
// setters that write each field.
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

// The slider's position for an angle: truncated toward zero, within the slider's range.
int sliderPosition(double pAngle, int pMinimum, int pMaximum)
{
    if (!std::isfinite(pAngle))
        return pAngle > 0 ? pMaximum : pMinimum;
    return int(qBound(double(pMinimum), std::trunc(pAngle), double(pMaximum)));
}

} // namespace

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
