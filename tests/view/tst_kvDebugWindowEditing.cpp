#include "kvCountingView.h"
#include "kvDebugWindow.h"
#include "kvDialogRecorder.h"
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
#include "kvTestSupport.h"
#include "kvViewFixtures.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <memory>

using namespace Kv::Defines;

namespace {
QColor swatchColor(QLabel *pLabel)
{
    return pLabel->palette().color(pLabel->backgroundRole());
}

// Replaces a field's text by typing it, one key at a time.
void type(QLineEdit *pField, const QString &pText)
{
    pField->clear();
    QTest::keyClicks(pField, pText);
}
} // namespace

// Editing the view's objects through the inspector.
class tst_kvDebugWindowEditing : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<kvGLWindow> m_view;
    std::unique_ptr<kvDebugWindow> m_window;

    bool bind(bool pWithModel = true)
    {
        m_view = std::make_unique<kvGLWindow>();
        if (!KvViewTest::showAndWait(m_view.get()))
            return false;
        if (pWithModel)
            m_view->replaceModel(0, KvViewTest::cube(20));
        m_window = std::make_unique<kvDebugWindow>();
        m_window->initializeWidget(m_view.get());
        if (pWithModel)
            m_window->initializeModel(m_view->glModels().first()->model());
        return true;
    }

    QLineEdit *edit(const QString &pName) const { return m_window->findChild<QLineEdit *>(pName); }
    kvGLModel *model() const { return m_view->glModels().first(); }

    // The numeric property a field edits.
    double number(const QString &pName) const
    {
        kvGLWindow *v = m_view.get();
        const QMap<QString, std::function<double()>> tProbes = {
            {"origin line width", [v] { return v->origin()->lineWidth(); }},
            {"area line width", [v] { return v->printerArea()->lineWidth(); }},
            {"bed line width", [v] { return v->printerBed()->lineWidth(); }},
            {"ruler Y line width", [v] { return v->rulersY()->lineWidth(); }},
            {"near", [v] { return v->camera()->nearPlane(); }},
            {"far", [v] { return v->camera()->farPlane(); }},
            {"theta", [v] { return v->camera()->theta(); }},
            {"phi", [v] { return v->camera()->phi(); }},
            {"distance", [v] { return v->camera()->distance(); }},
            {"slices", [v] { return v->printerBedCenter()->slices(); }},
            {"size", [v] { return v->printerBedCenter()->size(); }},
            {"shade Z width", [v] { return v->rulerZShade()->width(); }},
            {"shade X alpha", [v] { return v->rulerXShade()->alpha(); }},
            {"ruler Y bed size", [v] { return v->rulersY()->bedSize().y(); }},
            {"ruler Y bed size x", [v] { return v->rulersY()->bedSize().x(); }},
            {"shininess", [this] { return model()->shininess(); }},
            {"MBR line width", [this] { return model()->boundingBox()->lineWidth(); }},
            {"centre line width", [this] { return model()->modelCenter()->lineWidth(); }},
        };
        return tProbes.value(pName, [] { return -12345.0; })();
    }

    kvVector3D vector(const QString &pName) const
    {
        kvGLWindow *v = m_view.get();
        const QMap<QString, std::function<kvVector3D()>> tProbes = {
            {"origin", [v] { return v->origin()->translation(); }},
            {"area", [v] { return v->printerArea()->translation(); }},
            {"area size", [v] { return v->printerArea()->dimensions(); }},
            {"bed size", [v] { return v->printerBed()->dimensions(); }},
            {"bed centre", [v] { return v->printerBedCenter()->translation(); }},
            {"ruler Z", [v] { return v->rulersZ()->translation(); }},
            {"shade Y", [v] { return v->rulerYShade()->translation(); }},
            {"light world", [v] { return v->lightSource()->translation(); }},
            {"light angle", [v] { return v->lightSource()->angle(); }},
            {"light position", [v] { return v->lightSource()->position(); }},
            {"camera", [v] { return v->camera()->center(); }},
            {"camera up", [v] { return v->camera()->up(); }},
            {"model", [this] { return model()->translation(); }},
            {"model rotation", [this] { return model()->rotation(); }},
            {"MBR", [this] { return model()->boundingBox()->translation(); }},
        };
        return tProbes.value(pName, [] { return kvVector3D(-1, -1, -1); })();
    }

private slots:
    void cleanup()
    {
        m_window.reset();
        m_view.reset();
    }

    void typedNumbers_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("probe");
        QTest::addColumn<double>("expected");
        QTest::newRow("line width") << "glOriginLineWidthText"
                                    << "2.5"
                                    << "origin line width" << 2.5;
        QTest::newRow("letters") << "glPrinterAreaLineWidthText"
                                 << "abc"
                                 << "area line width" << 0.0;
        QTest::newRow("comma") << "glPrinterBedLineWidthText"
                               << "1,5"
                               << "bed line width" << 0.0;
        QTest::newRow("nan") << "glRulersYLineWidthText"
                             << "nan"
                             << "ruler Y line width" << 0.0;
        QTest::newRow("inf") << "rotationAlphaText"
                             << "inf"
                             << "theta" << 0.0;
        QTest::newRow("beyond float") << "rotationBetaText"
                                      << "1e39"
                                      << "phi" << 0.0;
        QTest::newRow("huge angle") << "rotationAlphaText"
                                    << "1e30"
                                    << "theta" << double(1e30f);
        QTest::newRow("minus five") << "rotationBetaText"
                                    << "-5"
                                    << "phi" << -5.0;
        QTest::newRow("near") << "projectionNearPlaneTextBox"
                              << "0.5"
                              << "near" << 0.5;
        QTest::newRow("far emptied") << "projectionFarPlaneTextBox"
                                     << ""
                                     << "far" << 0.0;
        QTest::newRow("distance") << "scaleValueText"
                                  << "2.5"
                                  << "distance" << 2.5;
        QTest::newRow("slices") << "glPrinterBedCenterSlicesText"
                                << "24"
                                << "slices" << 24.0;
        QTest::newRow("slices fraction") << "glPrinterBedCenterSlicesText"
                                         << "16.5"
                                         << "slices" << 0.0;
        QTest::newRow("size") << "glPrinterBedCenterSizeText"
                              << "7.25"
                              << "size" << 7.25;
        QTest::newRow("size comma") << "glPrinterBedCenterSizeText"
                                    << "5,5"
                                    << "size" << 0.0;
        QTest::newRow("shade width") << "glRulersShadeZWidthText"
                                     << "4"
                                     << "shade Z width" << 4.0;
        QTest::newRow("shade alpha") << "glRulersShadeXAlphaText"
                                     << "0.25"
                                     << "shade X alpha" << 0.25;
        QTest::newRow("ruler bed size") << "glRulersYBedSizeText"
                                        << "150"
                                        << "ruler Y bed size" << 150.0;
        QTest::newRow("ruler bed size own axis") << "glRulersYBedSizeText"
                                                 << "150"
                                                 << "ruler Y bed size x" << 200.0;
        QTest::newRow("shininess") << "modelShininessText"
                                   << "20"
                                   << "shininess" << 20.0;
        QTest::newRow("MBR line width") << "glModelMBRLineWidthText"
                                        << "3"
                                        << "MBR line width" << 3.0;
        QTest::newRow("centre line width") << "glModelCenterLineWidthText"
                                           << "0.5"
                                           << "centre line width" << 0.5;
    }

    void typedNumbers()
    {
        QFETCH(QString, field);
        QFETCH(QString, text);
        QFETCH(QString, probe);
        QFETCH(double, expected);
        QVERIFY(bind());
        QLineEdit *tField = edit(field);
        QVERIFY2(tField, qPrintable(field));
        type(tField, text);
        QCOMPARE(tField->text(), text);
        QCOMPARE(number(probe), expected);
        // The scene still draws with the value.
        m_view->updateGL();
    }

    void eachKeystrokeApplies()
    {
        QVERIFY(bind());
        QList<float> tApplied;
        kvGLOrigin *tOrigin = m_view->origin();
        connect(tOrigin, &kvGLOrigin::LineWidthChanged, this,
            [&] { tApplied << tOrigin->lineWidth(); });
        type(edit("glOriginLineWidthText"), "2.5");
        QCOMPARE(tApplied, QList<float>({0.0f, 2.0f, 2.0f, 2.5f}));
        // The field being typed in keeps the typed text.
        type(edit("glOriginLineWidthText"), "-");
        QCOMPARE(edit("glOriginLineWidthText")->text(), QString("-"));
        QCOMPARE(tOrigin->lineWidth(), 0.0f);
    }

    void vectorFromThreeFields_data()
    {
        QTest::addColumn<QString>("prefix");
        QTest::addColumn<QString>("suffix");
        QTest::addColumn<QString>("probe");
        QTest::newRow("origin") << "glOriginTranslation"
                                << "Text"
                                << "origin";
        QTest::newRow("printer area") << "glPrinterAreaTranslation"
                                      << "Text"
                                      << "area";
        QTest::newRow("area size") << "glPrinterAreaDimensions"
                                   << "Text"
                                   << "area size";
        QTest::newRow("bed size") << "glPrinterBedDimensions"
                                  << "Text"
                                  << "bed size";
        QTest::newRow("bed centre") << "glPrinterBedCenterPosition"
                                    << "Text"
                                    << "bed centre";
        QTest::newRow("ruler Z") << "glRulerZTranslation"
                                 << "Text"
                                 << "ruler Z";
        QTest::newRow("shade Y") << "glRulerShadeYTranslation"
                                 << "Text"
                                 << "shade Y";
        QTest::newRow("light world") << "glLightSourceWorld"
                                     << "Text"
                                     << "light world";
        QTest::newRow("light angle") << "glLightSourceAngle"
                                     << "Text"
                                     << "light angle";
        QTest::newRow("light position") << "glLightSourcePosition"
                                        << "Text"
                                        << "light position";
        QTest::newRow("camera") << "eyePosition"
                                << "Box"
                                << "camera";
        QTest::newRow("camera up") << "eyeUpPosition"
                                   << "Box"
                                   << "camera up";
        QTest::newRow("model") << "modelTranslation"
                               << "Text"
                               << "model";
        QTest::newRow("model rotation") << "modelRotation"
                                        << "Text"
                                        << "model rotation";
        QTest::newRow("model box") << "glModelMBRTranslation"
                                   << "Text"
                                   << "MBR";
    }

    void vectorFromThreeFields()
    {
        QFETCH(QString, prefix);
        QFETCH(QString, suffix);
        QFETCH(QString, probe);
        QVERIFY(bind());
        QLineEdit *tX = edit(prefix + "X" + suffix);
        QLineEdit *tY = edit(prefix + "Y" + suffix);
        QLineEdit *tZ = edit(prefix + "Z" + suffix);
        QVERIFY(tX && tY && tZ);
        tX->setText("11");
        tZ->setText("-33");
        // Typing into the middle field alone sets all three axes.
        type(tY, "22.5");
        QCOMPARE(vector(probe), kvVector3D(11, 22.5f, -33));
        type(tX, "x");
        QCOMPARE(vector(probe), kvVector3D(0, 22.5f, -33));
    }

    void orthographicRectangle()
    {
        QVERIFY(bind());
        type(edit("glPerspectiveOrthoLeftText"), "-100");
        type(edit("glPerspectiveOrthoTopText"), "80");
        type(edit("glPerspectiveOrthoRightText"), "100");
        type(edit("glPerspectiveOrthoBottomText"), "-80");
        QRect tRect = m_view->orthographicSize();
        QCOMPARE(tRect.left(), -100);
        QCOMPARE(tRect.top(), 80);
        QCOMPARE(tRect.right(), 100);
        QCOMPARE(tRect.bottom(), -80);
        type(edit("glPerspectiveOrthoRightText"), "100.9");
        type(edit("glPerspectiveOrthoBottomText"), "-0.5");
        tRect = m_view->orthographicSize();
        QCOMPARE(tRect.right(), 100);
        QCOMPARE(tRect.bottom(), 0);
        type(edit("glPerspectiveOrthoTopText"), "1e20");
        QCOMPARE(m_view->orthographicSize().left(), -100);
    }

    void visibilityChecks_data()
    {
        QTest::addColumn<QString>("check");
        QTest::addColumn<QString>("object");
        QTest::newRow("origin") << "glOriginVisibleCheck"
                                << "origin";
        QTest::newRow("bed") << "glPrinterBedVisibleCheck"
                             << "bed";
        QTest::newRow("bed centre") << "glPrinterBedCenterVisibleCheck"
                                    << "bed centre";
        QTest::newRow("ruler Y") << "glRulersYVisibleCheck"
                                 << "ruler Y";
        QTest::newRow("shade Z") << "glRulersShadeZVisibleCheck"
                                 << "shade Z";
        QTest::newRow("light") << "glLightSourceVisibleCheck"
                               << "light";
        QTest::newRow("model") << "glModelVisibleCheck"
                               << "model";
        QTest::newRow("model box") << "glModelMBRVisibleCheck"
                                   << "MBR";
        QTest::newRow("model centre") << "glModelCenterVisibleCheck"
                                      << "centre";
    }

    void visibilityChecks()
    {
        QFETCH(QString, check);
        QFETCH(QString, object);
        QVERIFY(bind());
        const QMap<QString, kvGLObject *> tObjects = {{"origin", m_view->origin()},
            {"bed", m_view->printerBed()}, {"bed centre", m_view->printerBedCenter()},
            {"ruler Y", m_view->rulersY()}, {"shade Z", m_view->rulerZShade()},
            {"light", m_view->lightSource()}, {"model", model()}, {"MBR", model()->boundingBox()},
            {"centre", model()->modelCenter()}};
        kvGLObject *tObject = tObjects.value(object);
        auto *tCheck = m_window->findChild<QCheckBox *>(check);
        QVERIFY(tCheck && tObject);
        QVERIFY(tCheck->isChecked());
        tCheck->click();
        QVERIFY(!tObject->visible());
        tCheck->click();
        QVERIFY(tObject->visible());
    }

    void colourButtons_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("swatch");
        QTest::addColumn<QString>("object");
        QTest::newRow("origin") << "glOriginColorButton"
                                << "glOriginColorLabel"
                                << "origin";
        QTest::newRow("printer area") << "glPrinterAreaColorButton"
                                      << "glPrinterAreaColorLabel"
                                      << "area";
        QTest::newRow("bed centre") << "glPrinterBedCenterColorButton"
                                    << "glPrinterBedCenterColorLabel"
                                    << "bed centre";
        QTest::newRow("ruler X") << "glRulersXColorButton"
                                 << "glRulersXColorLabel"
                                 << "ruler X";
        QTest::newRow("shade Z") << "glRulersShadeZColorButton"
                                 << "glRulersShadeZColorLabel"
                                 << "shade Z";
        QTest::newRow("model") << "modelColorButton"
                               << "modelColorLabel"
                               << "model";
        QTest::newRow("model centre") << "glModelCenterColorButton"
                                      << "glModelCenterColorLabel"
                                      << "centre";
    }

    void colourButtons()
    {
        QFETCH(QString, button);
        QFETCH(QString, swatch);
        QFETCH(QString, object);
        QVERIFY(bind());
        const QMap<QString, kvGLObject *> tObjects = {{"origin", m_view->origin()},
            {"area", m_view->printerArea()}, {"bed centre", m_view->printerBedCenter()},
            {"ruler X", m_view->rulersX()}, {"shade Z", m_view->rulerZShade()}, {"model", model()},
            {"MBR", model()->boundingBox()}, {"centre", model()->modelCenter()}};
        kvGLObject *tObject = tObjects.value(object);
        auto *tButton = m_window->findChild<QPushButton *>(button);
        auto *tSwatch = m_window->findChild<QLabel *>(swatch);
        QVERIFY(tObject && tButton && tSwatch);
        const QColor tBefore = tObject->color();

        KvTest::DialogRecorder tDialogs;
        // Cancelled: nothing changes.
        QTest::mouseClick(tButton, Qt::LeftButton);
        QCOMPARE(tDialogs.requests.size(), 1);
        QCOMPARE(tDialogs.requests[0].kind, kvDialogs::Color);
        QCOMPARE(tDialogs.requests[0].color, tBefore);
        QCOMPARE(tObject->color(), tBefore);
        QCOMPARE(swatchColor(tSwatch), tBefore);

        tDialogs.answers << QColor(10, 20, 30);
        QTest::mouseClick(tButton, Qt::LeftButton);
        QCOMPARE(tObject->color(), QColor(10, 20, 30));
        QCOMPARE(swatchColor(tSwatch), QColor(10, 20, 30));
        QVERIFY(tSwatch->autoFillBackground());
    }

    void backgroundAndMaterialColours()
    {
        QVERIFY(bind());
        KvTest::DialogRecorder tDialogs;
        auto tClick = [&](const char *pButton) {
            QTest::mouseClick(m_window->findChild<QPushButton *>(pButton), Qt::LeftButton);
        };
        auto tSwatch = [&](const char *pLabel) {
            return swatchColor(m_window->findChild<QLabel *>(pLabel));
        };
        tDialogs.answers << QColor(Qt::yellow) << QColor(1, 2, 3) << QColor(4, 5, 6)
                         << QColor(7, 8, 9) << QColor(128, 128, 128) << QColor(0, 0, 255);
        tClick("backgroundColorButton");
        QCOMPARE(m_view->backgroundColor(), QColor(Qt::yellow));
        QCOMPARE(tSwatch("backgroundColorLabel"), QColor(Qt::yellow));
        tClick("modelColorAmbientButton");
        QCOMPARE(tDialogs.requests.last().color, QColor(Qt::black));
        QCOMPARE(model()->ambientColor(), QColor(1, 2, 3));
        QCOMPARE(tSwatch("modelColorAmbientLabel"), QColor(1, 2, 3));
        tClick("modelDiffuseColorButton");
        QCOMPARE(model()->diffuseColor(), QColor(4, 5, 6));
        QCOMPARE(tSwatch("modelDiffuseColorLabel"), QColor(4, 5, 6));
        tClick("modelSpecularColorButton");
        QCOMPARE(model()->specularColor(), QColor(7, 8, 9));
        // A reflectivity is the chosen colour's brightness.
        tClick("modelDiffuseReflectColorButton");
        QCOMPARE(tDialogs.requests.last().color, QColor(Qt::white));
        QCOMPARE(model()->diffuseReflectivityColor(), 128.0f / 255.0f);
        QCOMPARE(tSwatch("modelDiffuseReflectColorLabel"), QColor(128, 128, 128));
        tClick("modelSpecularReflectColorButton");
        QCOMPARE(model()->specularReflectivityColor(), 1.0f);
        // Cancelled: the ambient colour stays.
        tClick("modelColorAmbientButton");
        QCOMPARE(model()->ambientColor(), QColor(1, 2, 3));
        tClick("modelAmbientReflectColorButton");
        QCOMPARE(model()->ambientReflectivityColor(), 1.0f);
        // The box's colour is the view's fit signal again at the next paint; the swatch
        // shows the choice.
        tDialogs.answers << QColor(10, 20, 30);
        tClick("glModelMBRColorButton");
        QCOMPARE(tSwatch("glModelMBRColorLabel"), QColor(10, 20, 30));
    }

    void angleSlider()
    {
        QVERIFY(bind());
        auto *tSlider = m_window->findChild<QSlider *>("projectionAngleSlider");
        kvGLCamera *tCamera = m_view->camera();
        // A drag of the handle.
        tSlider->setSliderDown(true);
        tSlider->setSliderPosition(45);
        tSlider->setSliderDown(false);
        QCOMPARE(tCamera->angle(), 45.0f);
        QCOMPARE(edit("projectionAngleTextBox")->text(), QString("45"));
        // The keyboard moves the slider only.
        tSlider->setFocus();
        QTest::keyClick(tSlider, Qt::Key_Right);
        QCOMPARE(tSlider->value(), 46);
        QCOMPARE(tCamera->angle(), 45.0f);
        // The angle text is not an editor.
        type(edit("projectionAngleTextBox"), "30");
        QCOMPARE(tCamera->angle(), 45.0f);
    }

    void scaleBox()
    {
        QVERIFY(bind());
        auto *tSpin = m_window->findChild<QDoubleSpinBox *>("modelScaleSpinBox");
        // A scale pushed by the main window is shown; the model keeps it.
        model()->setScale(20);
        m_window->setModelScale(20);
        QCOMPARE(tSpin->value(), 10.0);
        QCOMPARE(model()->scale(), 20.0f);
        model()->setScale(1.234f);
        m_window->setModelScale(1.234f);
        QCOMPARE(tSpin->value(), 1.23);
        QCOMPARE(model()->scale(), 1.234f);
        // The user's own change reaches the model.
        tSpin->setValue(2.5);
        QCOMPARE(model()->scale(), 2.5f);
    }

    void scaleEditPlacesThePartAgain()
    {
        QVERIFY(bind());
        auto *tSpin = m_window->findChild<QDoubleSpinBox *>("modelScaleSpinBox");
        // Typed by the user: the part is scaled and stands on the floor again, centred.
        tSpin->selectAll();
        QTest::keyClicks(tSpin, "2.50");
        QCOMPARE(model()->scale(), 2.5f);
        kvBoundingBox tBox = model()->placedBox();
        QCOMPARE(tBox.minPoint().y(), -100.0f);
        QCOMPARE(tBox.maxPoint().y(), -50.0f);
        QCOMPARE(tBox.center().x(), 0.0f);
        QCOMPARE(model()->boundingBox()->color(), QColor(Qt::darkGreen));
        // Nothing is refused quietly to 0: the box stops at its smallest step.
        tSpin->selectAll();
        QTest::keyClicks(tSpin, "0.00");
        QVERIFY(tSpin->minimum() > 0);
        QVERIFY(model()->scale() > 0);
        tBox = model()->placedBox();
        QVERIFY(tBox.maxPoint().y() > tBox.minPoint().y());
    }

    void modelEditsWithoutModel()
    {
        QVERIFY(bind(false));
        KvTest::DialogRecorder tDialogs;
        type(edit("modelShininessText"), "5");
        type(edit("modelTranslationXText"), "5");
        type(edit("glModelMBRLineWidthText"), "5");
        m_window->findChild<QDoubleSpinBox *>("modelScaleSpinBox")->setValue(3);
        m_window->findChild<QCheckBox *>("glModelVisibleCheck")->click();
        QTest::mouseClick(
            m_window->findChild<QPushButton *>("modelColorAmbientButton"), Qt::LeftButton);
        QVERIFY(tDialogs.requests.isEmpty());
        QVERIFY(m_view->glModels().isEmpty());
    }

    void editsReachTheModelShownNow()
    {
        QVERIFY(bind());
        m_view->replaceModel(0, KvViewTest::cube(40));
        type(edit("modelShininessText"), "7");
        QCOMPARE(model()->shininess(), 7.0f);
    }

    void projectionButtonsOnlyToggle()
    {
        QVERIFY(bind());
        kvGLCamera *tCamera = m_view->camera();
        QSignalSpy tType(tCamera, &kvGLCamera::ProjectionTypeChanged);
        auto *tOrtho = m_window->findChild<QPushButton *>("orthoButton");
        auto *tPerspective = m_window->findChild<QPushButton *>("perspectiveButton");
        QTest::mouseClick(tOrtho, Qt::LeftButton);
        QVERIFY(tOrtho->isChecked());
        QTest::mouseClick(tPerspective, Qt::LeftButton);
        QVERIFY(tPerspective->isChecked());
        QVERIFY(!tOrtho->isChecked());
        QCOMPARE(tType.count(), 0);
        QCOMPARE(tCamera->projectionType(), GLProjectionTypePerspective);
    }

    void unwiredFieldsChangeNothing()
    {
        QVERIFY(bind());
        QSignalSpy tModel(model(), &kvGLModel::UserTranslationChanged);
        QSignalSpy tShade(m_view->rulerXShade(), &kvGLRulersShade::LineWidthChanged);
        type(edit("modelUserTranslationXText"), "9");
        type(edit("modelFileTrainglesText"), "9");
        type(edit("glRulersShadeXLineWidthText"), "9");
        type(edit("boundingBoxLineWidthText"), "9");
        type(edit("rotationTypeText"), "Model");
        QCOMPARE(tModel.count(), 0);
        QCOMPARE(tShade.count(), 0);
        QCOMPARE(m_view->rotationType(), GLRotationTypeView);
    }
};

KV_TEST_MAIN(tst_kvDebugWindowEditing)
#include "tst_kvDebugWindowEditing.moc"
