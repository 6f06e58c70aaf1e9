// Paint cost of the 3D view with a 1,000,000-triangle part (run under an X display,
// Release build): one paint of the bare plate, the part's draw call alone, one paint
// of the part with unchanged placement, one with the part hidden (bounds check only),
// and one drag step (all the paints a mouse move in model mode causes).

#include "benchMeshes.h"
#include "benchSupport.h"
#include "kvGLCamera.h"
#include "kvGLModel.h"
#include "kvGLWindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QThread>
#include <QWindow>

namespace {

// A view that counts its paints.
class CountingView : public kvGLWindow
{
public:
    using kvGLWindow::kvGLWindow;
    int paints = 0;

protected:
    void paintGL() override
    {
        ++paints;
        kvGLWindow::paintGL();
    }
};

// Seconds per call of pWork, finished on the GPU, averaged over pRuns.
template <typename Work> double timed(kvGLWindow &pView, int pRuns, Work pWork)
{
    pView.makeCurrent();
    glFinish();
    QElapsedTimer tTimer;
    tTimer.start();
    for (int i = 0; i < pRuns; ++i) {
        pWork();
        pView.makeCurrent();
        glFinish();
    }
    return tTimer.nsecsElapsed() / 1e9 / pRuns;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication tApp(argc, argv);
    qInstallMessageHandler(KvBench::quietDebug);
    const int kRuns = 20;

    QElapsedTimer tBuild;
    tBuild.start();
    const kvModel tMesh = KvBench::wavySurface(708); // 1,002,528 triangles
    const int tTriangles = tMesh.vertexVector().size() / 3;
    KvBench::report(
        "build the 1M-triangle surface", tBuild.nsecsElapsed() / 1e9, tTriangles, "triangles");

    CountingView tView;
    tView.resize(800, 600);
    tView.show();
    QElapsedTimer tWait;
    tWait.start();
    while (!(tView.windowHandle() && tView.windowHandle()->isExposed()) && tWait.elapsed() < 5000) {
        QApplication::processEvents();
        QThread::msleep(5);
    }
    QApplication::processEvents();
    if (!tView.windowHandle() || !tView.windowHandle()->isExposed() || !tView.isValid()) {
        std::fprintf(stderr, "no GL window (run under an X display)\n");
        return 1;
    }

    const double tPlate = timed(tView, kRuns, [&] { tView.updateGL(); });
    KvBench::report("paint, bare plate", tPlate, 1, "paints");

    QElapsedTimer tInsert;
    tInsert.start();
    tView.insertModel(0, tMesh);
    KvBench::report("insert the part (upload, land, centre)", tInsert.nsecsElapsed() / 1e9,
        tTriangles, "triangles");
    kvGLModel *tModel = tView.glModels().first();
    tView.updateGL();

    const double tPaint = timed(tView, kRuns, [&] { tView.updateGL(); });
    KvBench::report("paint, part with unchanged placement", tPaint, tTriangles, "triangles");

    // The part's draw call on its own, on a cleared frame as in a paint.
    tView.makeCurrent();
    const QMatrix4x4 tProjection = tView.projection();
    const QMatrix4x4 tCamera = tView.camera()->matrix();
    QElapsedTimer tClearTimer;
    double tClear = 0;
    const double tDrawAndClear = timed(tView, kRuns, [&] {
        tClearTimer.start();
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glFinish();
        tClear += tClearTimer.nsecsElapsed() / 1e9;
        tModel->paintGL(tProjection, tCamera, kvVector3D(0, 0, 1));
    });
    const double tDraw = tDrawAndClear - tClear / kRuns;
    KvBench::report("draw call of the part alone", tDraw, tTriangles, "triangles");

    // Hidden, the part is still bounds-checked on every paint but not drawn.
    tModel->setVisible(false);
    const double tHidden = timed(tView, kRuns, [&] { tView.updateGL(); });
    KvBench::report("paint, part hidden (bounds check only)", tHidden, tTriangles, "triangles");
    tModel->setVisible(true);

    const double tCold = timed(tView, 5, [&] {
        tModel->setScale(tModel->scale() == 1.0f ? 1.001f : 1.0f); // one repaint, new shape
    });
    KvBench::report("paint after a scale change (box recomputed)", tCold, tTriangles, "triangles");
    tModel->setScale(1.0f);

    tView.setRotationType(Kv::Defines::GLRotationTypeModel);
    QPoint tMouse(400, 300);
    QMouseEvent tPress(QEvent::MouseButtonPress, tMouse, tView.mapToGlobal(tMouse), Qt::LeftButton,
        Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&tView, &tPress);
    tView.paints = 0;
    int tStep = 0;
    const double tDrag = timed(tView, kRuns, [&] {
        tMouse += QPoint((tStep++ % 2) ? -1 : 1, 0);
        QMouseEvent tMove(QEvent::MouseMove, tMouse, tView.mapToGlobal(tMouse), Qt::NoButton,
            Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&tView, &tMove);
    });
    KvBench::report("drag step of the part", tDrag, 1, "steps");
    std::printf("paints per drag step: %.1f\n", double(tView.paints) / kRuns);

    const double tLimit = 1.5 * (tPlate + tDraw);
    std::printf("paint with part %.2f ms; limit 1.5 x (plate %.2f ms + draw %.2f ms) = %.2f ms: "
                "%s\n",
        tPaint * 1e3, tPlate * 1e3, tDraw * 1e3, tLimit * 1e3,
        tPaint <= tLimit ? "met" : "NOT met");
    return 0;
}
