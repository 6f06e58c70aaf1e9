#include "kvCountingView.h"
#include "kvDebugWindow.h"
#include "kvGLCamera.h"
#include "kvGLLightSource.h"
#include "kvGLModel.h"
#include "kvGLModelMBR.h"
#include "kvGLOrigin.h"
#include "kvGLPrinterArea.h"
#include "kvGLRulers.h"
#include "kvGLWindow.h"
#include "kvTestSupport.h"
#include "kvVertexTableModel.h"
#include "kvViewFixtures.h"
#include "kvWidgetHelpers.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSlider>
#include <QTableView>
#include <memory>

using namespace Kv::Defines;

namespace {
QString cell(QAbstractItemModel *pModel, int pRow, int pColumn, int pRole = Qt::DisplayRole)
{
    return pModel->data(pModel->index(pRow, pColumn), pRole).toString();
}

QColor swatchColor(QLabel *pLabel)
{
    return pLabel->palette().color(pLabel->backgroundRole());
}
} // namespace

// Binding and display of the inspector.
class tst_kvDebugWindow : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<kvGLWindow> m_view;
    std::unique_ptr<kvDebugWindow> m_window;

    // A shown 400 x 300 view, optionally with a part, and an inspector bound to it.
    bool bind(bool pWithModel, kvVector3D pBedSize = kvVector3D(200, 200, 200))
    {
        m_view = std::make_unique<kvGLWindow>();
        m_view->setBedSize(pBedSize);
        if (!KvViewTest::showAndWait(m_view.get()))
            return false;
        if (pWithModel)
            m_view->replaceModel(0, KvViewTest::cube(20));
        m_window = std::make_unique<kvDebugWindow>();
        m_window->initializeWidget(m_view.get());
        return true;
    }

    QLineEdit *edit(const char *pName) const { return m_window->findChild<QLineEdit *>(pName); }

private slots:
    void cleanup()
    {
        m_window.reset();
        m_view.reset();
    }

    void formDefaults_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("placeholder");
        QTest::newRow("near plane") << "projectionNearPlaneTextBox"
                                    << "0.001"
                                    << "";
        QTest::newRow("far plane") << "projectionFarPlaneTextBox"
                                   << "3000"
                                   << "";
        QTest::newRow("camera z") << "eyePositionZBox"
                                  << "200"
                                  << "";
        QTest::newRow("bed centre size") << "glPrinterBedCenterSizeText"
                                         << "5.0"
                                         << "";
        QTest::newRow("ruler bed size") << "glRulersYBedSizeText"
                                        << ""
                                        << "200";
        QTest::newRow("shade X line width") << "glRulersShadeXLineWidthText"
                                            << ""
                                            << "1";
        QTest::newRow("shade Y line width") << "glRulersShadeYLineWidthText"
                                            << "1"
                                            << "";
        QTest::newRow("shade width") << "glRulersShadeZWidthText"
                                     << ""
                                     << "2.5";
        QTest::newRow("triangles") << "modelFileTrainglesText"
                                   << ""
                                   << "0";
        QTest::newRow("mouse world") << "glMousePosWorldZText"
                                     << ""
                                     << "0";
        QTest::newRow("origin end row") << "originZCoordYPosEText"
                                        << ""
                                        << "";
    }

    void formDefaults()
    {
        QFETCH(QString, field);
        QFETCH(QString, text);
        QFETCH(QString, placeholder);
        kvDebugWindow tWindow;
        QLineEdit *tField = tWindow.findChild<QLineEdit *>(field);
        QVERIFY2(tField, qPrintable(field));
        QCOMPARE(tField->text(), text);
        QCOMPARE(tField->placeholderText(), placeholder);
    }

    void opensAtItsSizeAndScrolls()
    {
        kvDebugWindow tWindow;
        tWindow.show();
        QVERIFY(QTest::qWaitForWindowExposed(&tWindow));
        // Shown, the window keeps 661 x 762 and fits an 800-pixel screen.
        QCOMPARE(tWindow.size(), QSize(661, 762));
        QVERIFY2(tWindow.minimumSizeHint().height() <= 762,
            qPrintable(QString::number(tWindow.minimumSizeHint().height())));
        // A page longer than the window scrolls.
        auto *tPages = tWindow.findChild<QTabWidget *>("tabWidget");
        bool tScrolls = false;
        for (int i = 0; i < tPages->count(); ++i) {
            tPages->setCurrentIndex(i);
            QApplication::processEvents();
            auto *tScroll = qobject_cast<QScrollArea *>(tPages->widget(i));
            QVERIFY2(tScroll, qPrintable(tPages->tabText(i)));
            tScrolls = tScrolls || tScroll->verticalScrollBar()->maximum() > 0;
        }
        QVERIFY(tScrolls);
    }

    void formLayout()
    {
        kvDebugWindow tWindow;
        QCOMPARE(tWindow.windowTitle(), QString("Debug Window"));
        QCOMPARE(tWindow.size(), QSize(661, 762));
        auto *tPages = tWindow.findChild<QTabWidget *>("tabWidget");
        QVERIFY(tPages);
        QStringList tTitles;
        for (int i = 0; i < tPages->count(); ++i)
            tTitles << tPages->tabText(i);
        QCOMPARE(tTitles,
            QStringList(
                {"Open GL Info", "Settings", "Objects", "Bounding Box && Origin", "Model"}));
        QCOMPARE(tPages->currentIndex(), 2);
        auto *tObjects = tWindow.findChild<QTabWidget *>("objectsTabWidget");
        QCOMPARE(tObjects->tabText(tObjects->currentIndex()), QString("Model"));
        QCOMPARE(tObjects->tabPosition(), QTabWidget::West);
        QCOMPARE(tObjects->count(), 10);
        auto *tSpin = tWindow.findChild<QDoubleSpinBox *>("modelScaleSpinBox");
        QCOMPARE(tSpin->decimals(), 2);
        QCOMPARE(tSpin->maximum(), 10.0);
        QCOMPARE(tSpin->value(), 1.0);
        auto *tPerspective = tWindow.findChild<QPushButton *>("perspectiveButton");
        QVERIFY(tPerspective->isCheckable());
        QVERIFY(!tPerspective->isChecked());
        QCOMPARE(tPerspective->toolTip(), QString("Reset View"));
    }

    void bindingShowsTheView_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("expected");
        QTest::newRow("screen height") << "glWidgetHeightText"
                                       << "300";
        QTest::newRow("screen width") << "glWidgetWidthText"
                                      << "400";
        QTest::newRow("aspect ratio") << "glWidgetAspectRatioText"
                                      << "1.33333";
        QTest::newRow("pixel height") << "glPixelSizeHeightText"
                                      << "0.00666667";
        QTest::newRow("pixel width") << "glPixelSizeWidthText"
                                     << "0.005";
        QTest::newRow("near plane") << "projectionNearPlaneTextBox"
                                    << "0.1";
        QTest::newRow("far plane") << "projectionFarPlaneTextBox"
                                   << "10000";
        QTest::newRow("angle") << "projectionAngleTextBox"
                               << "90";
        QTest::newRow("ortho top") << "glPerspectiveOrthoTopText"
                                   << "150";
        QTest::newRow("ortho left") << "glPerspectiveOrthoLeftText"
                                    << "-200";
        QTest::newRow("ortho right") << "glPerspectiveOrthoRightText"
                                     << "200";
        QTest::newRow("ortho bottom") << "glPerspectiveOrthoBottomText"
                                      << "-150";
        QTest::newRow("rotation type") << "rotationTypeText"
                                       << "View";
        QTest::newRow("alpha") << "rotationAlphaText"
                               << "0";
        QTest::newRow("beta") << "rotationBetaText"
                              << "0";
        QTest::newRow("camera x") << "eyePositionXBox"
                                  << "0";
        QTest::newRow("camera z") << "eyePositionZBox"
                                  << "250";
        QTest::newRow("camera up stays") << "eyeUpPositionYBox"
                                         << "1";
        QTest::newRow("scale") << "scaleValueText"
                               << "1";
        QTest::newRow("area depth") << "glPrinterAreaDimensionsZText"
                                    << "250";
        QTest::newRow("area line width") << "glPrinterAreaLineWidthText"
                                         << "1";
        QTest::newRow("bed centre y") << "glPrinterBedCenterPositionYText"
                                      << "-100";
        QTest::newRow("bed centre slices") << "glPrinterBedCenterSlicesText"
                                           << "16";
        QTest::newRow("ruler X bed size") << "glRulersXBedSizeText"
                                          << "300";
        QTest::newRow("ruler Y bed size") << "glRulersYBedSizeText"
                                          << "180";
        QTest::newRow("ruler Z bed size") << "glRulersZBedSizeText"
                                          << "250";
        QTest::newRow("ruler translation unfilled") << "glRulerXTranslationXText"
                                                    << "";
        QTest::newRow("shade alpha") << "glRulersShadeYAlphaText"
                                     << "0.5";
        QTest::newRow("light angle") << "glLightSourceAngleXText"
                                     << "45";
        QTest::newRow("light world") << "glLightSourceWorldZText"
                                     << "100";
        QTest::newRow("light position") << "glLightSourcePositionZText"
                                        << "1";
        QTest::newRow("model shininess") << "modelShininessText"
                                         << "100";
        QTest::newRow("model rotation") << "modelRotationXText"
                                        << "-90";
        QTest::newRow("model MBR line width") << "glModelMBRLineWidthText"
                                              << "2";
        QTest::newRow("model centre line width") << "glModelCenterLineWidthText"
                                                 << "2";
        QTest::newRow("model size unfilled") << "modelSizeXText"
                                             << "";
    }

    void bindingShowsTheView()
    {
        QFETCH(QString, field);
        QFETCH(QString, expected);
        // Printer width 300, depth 250, height 180: scene axes x 300, y 180, z 250.
        QVERIFY(bind(true, kvVector3D(300, 250, 180)));
        QLineEdit *tField = edit(qPrintable(field));
        QVERIFY2(tField, qPrintable(field));
        QCOMPARE(tField->text(), expected);
    }

    void bindingFillsInfoSwatchesAndTables()
    {
        QVERIFY(bind(true));
        auto *tSlider = m_window->findChild<QSlider *>("projectionAngleSlider");
        QCOMPARE(tSlider->value(), 90);
        QCOMPARE(edit("versionText")->text(), m_view->glVersion());
        QVERIFY(!edit("versionText")->text().isEmpty());
        auto *tExtensions = m_window->findChild<QPlainTextEdit *>("extensionsList");
        QCOMPARE(tExtensions->document()->blockCount(), qMax(1, m_view->glExtensions().size()));
        QCOMPARE(swatchColor(m_window->findChild<QLabel *>("glPrinterAreaColorLabel")),
            QColor(Qt::darkGray));
        QCOMPARE(swatchColor(m_window->findChild<QLabel *>("glRulersShadeXColorLabel")),
            QColor(Qt::red));
        QCOMPARE(swatchColor(m_window->findChild<QLabel *>("modelColorLabel")), QColor(Qt::blue));
        // Reflectivity 1.0 shows as a white swatch.
        QCOMPARE(swatchColor(m_window->findChild<QLabel *>("modelDiffuseReflectColorLabel")),
            QColor(Qt::white));
        QVERIFY(m_window->findChild<QLabel *>("backgroundColorLabel")->autoFillBackground());
        auto *tOrigin = m_window->findChild<QTableView *>("glOriginVerticesTable");
        QCOMPARE(tOrigin->model()->rowCount(), m_view->origin()->vertices().size());
        QCOMPARE(cell(tOrigin->model(), 0, 1), QString("-5"));
        QVERIFY(m_window->findChild<QCheckBox *>("glOriginVisibleCheck")->isChecked());
    }

    void bindingWritesNothingBack()
    {
        m_view = std::make_unique<kvGLWindow>();
        QVERIFY(KvViewTest::showAndWait(m_view.get()));
        m_view->replaceModel(0, KvViewTest::cube(20));
        kvGLCamera *tCamera = m_view->camera();
        tCamera->setTheta(12.3456789f);
        tCamera->setDistance(1.23456789f);
        kvGLModel *tModel = m_view->glModels().first();
        tModel->setTranslation(kvVector3D(1.23456789f, 2, 3));
        tModel->setScale(1.23456f);
        QSignalSpy tTheta(tCamera, &kvGLCamera::ThetaChanged);
        QSignalSpy tCenter(tCamera, &kvGLCamera::CenterChanged);
        QSignalSpy tMove(tModel, &kvGLObject::TranslationChanged);
        QSignalSpy tScale(tModel, &kvGLModel::ScaleChanged);
        QSignalSpy tArea(m_view->printerArea(), &kvGLPrinterArea::DimensionsChanged);

        m_window = std::make_unique<kvDebugWindow>();
        m_window->initializeWidget(m_view.get());
        m_window->initializeModel(tModel->model());

        QCOMPARE(tTheta.count(), 0);
        QCOMPARE(tCenter.count(), 0);
        QCOMPARE(tMove.count(), 0);
        QCOMPARE(tScale.count(), 0);
        QCOMPARE(tArea.count(), 0);
        QCOMPARE(tCamera->theta(), 12.3456789f);
        QCOMPARE(tModel->translation().x(), 1.23456789f);
        QCOMPARE(tModel->scale(), 1.23456f);
        QCOMPARE(edit("rotationAlphaText")->text(), QString("12.3457"));
    }

    void nullViewBindsNothing()
    {
        kvDebugWindow tWindow;
        tWindow.initializeWidget(nullptr);
        QVERIFY(!tWindow.glWindow());
        QVERIFY(tWindow.findChild<QLineEdit *>("versionText")->text().isEmpty());
        // Edits without a view do nothing.
        QTest::keyClicks(tWindow.findChild<QLineEdit *>("glOriginLineWidthText"), "3");
        tWindow.initializeModel(KvViewTest::cube(5));
        QCOMPARE(tWindow.findChild<QLineEdit *>("modelFileTrainglesText")->text(), QString("12"));
    }

    void numberFormat_data()
    {
        QTest::addColumn<double>("angle");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("slider");
        QTest::newRow("fraction") << 90.7 << "90.7" << 90;
        QTest::newRow("above range") << 400.0 << "400" << 360;
        QTest::newRow("negative") << -5.5 << "-5.5" << 0;
        QTest::newRow("seven digits") << 1234567.0 << "1.23457e+06" << 360;
        QTest::newRow("tenth") << 0.1 << "0.1" << 0;
        QTest::newRow("ten thousand") << 10000.0 << "10000" << 360;
        QTest::newRow("nan") << double(NAN) << "nan" << 0;
    }

    void numberFormat()
    {
        QFETCH(double, angle);
        QFETCH(QString, text);
        QFETCH(int, slider);
        kvDebugWindow tWindow;
        tWindow.setPerspectiveAngle(angle);
        QCOMPARE(tWindow.findChild<QLineEdit *>("projectionAngleTextBox")->text(), text);
        QCOMPARE(tWindow.findChild<QSlider *>("projectionAngleSlider")->value(), slider);
    }

    void displaySlotsFollowTheView()
    {
        QVERIFY(bind(true));
        emit m_view->mousePositionChanged(QPoint(12, 34));
        QCOMPARE(edit("glMousePosWinXText")->text(), QString("12"));
        QCOMPARE(edit("glMousePosWinYText")->text(), QString("34"));
        QCOMPARE(edit("glMousePosWinZText")->text(), QString("0.0"));

        emit m_view->worldCoordinateChanged(kvVector3D(1.5f, -2, 1234567));
        QCOMPARE(edit("glMousePosWorldXText")->text(), QString("1.5"));
        QCOMPARE(edit("glMousePosWorldZText")->text(), QString("1.23457e+06"));

        m_view->setRotationType(GLRotationTypeModel);
        QCOMPARE(edit("rotationTypeText")->text(), QString("Model"));
        emit m_view->rotationTypeChanged(static_cast<kvGLRotationType>(3));
        QCOMPARE(edit("rotationTypeText")->text(), QString("Model"));

        emit m_view->scaleValueChanged(7.5f);
        QCOMPARE(edit("scaleValueText")->text(), QString("7.5"));

        m_view->resize(200, 100);
        QTRY_COMPARE(edit("glWidgetWidthText")->text(), QString("200"));
        QCOMPARE(edit("glWidgetHeightText")->text(), QString("100"));
        QCOMPARE(edit("glWidgetAspectRatioText")->text(), QString("2"));

        auto *tOrtho = m_window->findChild<QPushButton *>("orthoButton");
        m_view->camera()->setProjectionType(GLProjectionTypeOrthographic);
        emit m_view->projectionTypeChanged();
        QVERIFY(tOrtho->isChecked());
    }

    void displayDoesNotEditWhatItShows()
    {
        // An orbit drag shows the angles; the camera keeps its exact values.
        QVERIFY(bind(true));
        kvGLCamera *tCamera = m_view->camera();
        tCamera->setTheta(12.3456789f);
        tCamera->setPhi(-7.654321f);
        emit m_view->rotationChanged(tCamera->theta(), tCamera->phi());
        QCOMPARE(edit("rotationAlphaText")->text(), QString("12.3457"));
        QCOMPARE(edit("rotationBetaText")->text(), QString("-7.65432"));
        QCOMPARE(tCamera->theta(), 12.3456789f);
        QCOMPARE(tCamera->phi(), -7.654321f);

        kvGLModel *tModel = m_view->glModels().first();
        QSignalSpy tMoves(tModel, &kvGLObject::TranslationChanged);
        tModel->setUserTranslation(kvVector3D(3, 0, 4));
        emit m_view->modelTranslationChanged();
        QCOMPARE(edit("modelUserTranslationZText")->text(), QString("4"));
        QCOMPARE(tMoves.count(), 0);
    }

    void modelRowFollowsLandingAndCentring()
    {
        QVERIFY(bind(true));
        kvGLModel *tModel = m_view->glModels().first();
        tModel->setTranslation(kvVector3D(1, 2, 3));
        QCOMPARE(edit("modelTranslationYText")->text(), QString("2"));
        m_view->centerModel();
        QCOMPARE(edit("modelTranslationYText")->text(),
            QString::number(tModel->translation().y(), 'g', 6));
        QVERIFY(tModel->translation().y() != 2.0f);
    }

    void bindingWithoutModel()
    {
        QVERIFY(bind(false));
        QCOMPARE(edit("modelShininessText")->text(), QString());
        QCOMPARE(edit("glModelMBRLineWidthText")->text(), QString("1"));
        QCOMPARE(edit("modelTranslationXText")->text(), QString());
        emit m_view->modelTranslationChanged();
        QCOMPARE(edit("modelUserTranslationXText")->text(), QString());

        const kvModel tCube = KvViewTest::cube(10);
        m_window->initializeModel(tCube);
        QCOMPARE(edit("modelFileTrainglesText")->text(), QString("12"));
        QCOMPARE(edit("modelFileVerticesText")->text(), QString("36"));
        QCOMPARE(edit("modelFileNormalsText")->text(), QString::number(tCube.normals().size()));
        QCOMPARE(edit("modelMaxesZText")->text(), QString("10"));
        QCOMPARE(edit("modelCenterXText")->text(), QString("5"));
        QCOMPARE(edit("modelMinsYText")->text(), QString("0"));
        QCOMPARE(edit("modelSizeXText")->text(), QString());
        auto *tTable = m_window->findChild<QTableView *>("glModelVerticesTable");
        QCOMPARE(tTable->model()->rowCount(), 36);
        // The view shows no part: the model tabs keep their defaults.
        QCOMPARE(edit("modelShininessText")->text(), QString());
    }

    void modelTabsFollowTheShownModel()
    {
        QVERIFY(bind(true));
        kvGLModel *tFirst = m_view->glModels().first();
        tFirst->setShininess(5);
        m_view->replaceModel(0, KvViewTest::cube(40));
        kvGLModel *tSecond = m_view->glModels().first();
        m_window->initializeModel(tSecond->model());
        QCOMPARE(edit("modelShininessText")->text(), QString("100"));
        QCOMPARE(edit("modelTranslationYText")->text(), Kv::numberText(tSecond->translation().y()));
        auto *tCheck = m_window->findChild<QCheckBox *>("glModelMBRVisibleCheck");
        tSecond->boundingBox()->setVisible(false);
        QVERIFY(!tCheck->isChecked());
    }

    void visibilityChecksFollowTheObjects()
    {
        QVERIFY(bind(true));
        m_view->origin()->setVisible(false);
        QVERIFY(!m_window->findChild<QCheckBox *>("glOriginVisibleCheck")->isChecked());
        m_view->lightSource()->setVisible(false);
        QVERIFY(!m_window->findChild<QCheckBox *>("glLightSourceVisibleCheck")->isChecked());
        m_view->glModels().first()->setVisible(false);
        QVERIFY(!m_window->findChild<QCheckBox *>("glModelVisibleCheck")->isChecked());
    }

    void vertexTable()
    {
        QTableView tTable;
        Kv::fillTableViewWithVertices(
            {kvVector3D(1, 2, 3), kvVector3D(0.1f, -4, 1234567), kvVector3D(7, 8, 9)}, &tTable);
        QAbstractItemModel *tModel = tTable.model();
        QCOMPARE(tModel->rowCount(), 3);
        QCOMPARE(tModel->columnCount(), 4);
        QStringList tHeads;
        for (int i = 0; i < 4; ++i)
            tHeads << tModel->headerData(i, Qt::Horizontal).toString();
        QCOMPARE(tHeads, QStringList({"Vertex", "X", "Y", "Z"}));
        QCOMPARE(cell(tModel, 0, 0), QString("0"));
        QCOMPARE(cell(tModel, 2, 0), QString("2"));
        QCOMPARE(cell(tModel, 1, 1), QString("0.1"));
        QCOMPARE(cell(tModel, 1, 2), QString("-4"));
        QCOMPARE(cell(tModel, 1, 3), QString("1.23457e+06"));

        // Each fill replaces the table's model and releases the one before.
        QPointer<QAbstractItemModel> tOld = tModel;
        Kv::fillTableViewWithVertices({}, &tTable);
        QVERIFY(tOld.isNull());
        QCOMPARE(tTable.model()->rowCount(), 0);
        QCOMPARE(tTable.model()->columnCount(), 4);
        QCOMPARE(tTable.model()->headerData(3, Qt::Horizontal).toString(), QString("Z"));
    }

    void lightTableShowsVertexColours()
    {
        QVERIFY(bind(false));
        auto *tTable = m_window->findChild<QTableView *>("glLightSourceVerticesTable");
        QAbstractItemModel *tModel = tTable->model();
        QCOMPARE(tModel->rowCount(), 18);
        QCOMPARE(tModel->columnCount(), 5);
        QCOMPARE(tModel->headerData(4, Qt::Horizontal).toString(), QString("Color"));
        auto tBrush = [&](int pRow) {
            return tModel->data(tModel->index(pRow, 4), Qt::BackgroundRole).value<QBrush>();
        };
        // 0.2 * 255 truncates to 51.
        QCOMPARE(tBrush(0).color(), QColor(51, 51, 51, 255));
        QCOMPARE(tBrush(0).style(), Qt::SolidPattern);
        QCOMPARE(tBrush(12).color(), QColor(255, 255, 0, 255));
        QCOMPARE(cell(tModel, 12, 4), QString());

        m_window->setLightSourceVertices({});
        QCOMPARE(tTable->model()->rowCount(), 0);
        QCOMPARE(tTable->model()->columnCount(), 5);
    }
};

KV_TEST_MAIN(tst_kvDebugWindow)
#include "tst_kvDebugWindow.moc"
