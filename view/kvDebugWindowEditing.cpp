// Edits in the inspector: each field, button and box applied to the view's objects
// through their own setters.
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

#include <cmath>

using namespace Kv::Defines;

namespace {

void showInteger(QLineEdit *pField, int pValue)
{
    pField->setText(QString::number(pValue));
}

kvVector3D vectorFrom(QLineEdit *pX, QLineEdit *pY, QLineEdit *pZ)
{
    return kvVector3D(Kv::floatFromText(pX->text()), Kv::floatFromText(pY->text()),
        Kv::floatFromText(pZ->text()));
}

// Truncated toward zero; NaN and values beyond int give a bounded integer.
int truncatedInt(float pValue)
{
    if (!(pValue == pValue))
        return 0;
    return int(qBound(-2147483520.0f, std::trunc(pValue), 2147483520.0f));
}

} // namespace

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
    // The part is placed again as a scale set in the main window places it.
    tModel->setScale(float(pValue));
    m_glWindow->centerModel();
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
