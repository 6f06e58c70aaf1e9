// Cost of the inspector with a 1,000,000-triangle part (Release, under an X display):
// showing a newly loaded model (statistics, bounds and its 3,000,000-row vertex table)
// and drawing the visible rows of that table.

#include "benchSupport.h"
#include "kvDebugWindow.h"
#include "kvGLWindow.h"
#include "kvModel.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTabWidget>
#include <QTableView>
#include <cmath>

namespace {

void quietDebug(QtMsgType pType, const QMessageLogContext &, const QString &pText)
{
    if (pType != QtDebugMsg)
        std::fprintf(stderr, "%s\n", qPrintable(pText));
}

// A wavy surface of pSide x pSide cells, two triangles each.
kvModel surface(int pSide)
{
    kvModel tModel("surface");
    const float tStep = 120.0f / pSide;
    auto tPoint = [&](int i, int j) {
        const float tX = i * tStep - 60, tY = j * tStep - 60;
        return kvVertex(kvVector3D(tX, tY, 20 + 5 * std::sin(tX * 0.2f) * std::cos(tY * 0.2f)));
    };
    for (int i = 0; i < pSide; ++i) {
        for (int j = 0; j < pSide; ++j) {
            tModel.addTriangle(tPoint(i, j), tPoint(i + 1, j), tPoint(i + 1, j + 1), kvVector3D());
            tModel.addTriangle(tPoint(i, j), tPoint(i + 1, j + 1), tPoint(i, j + 1), kvVector3D());
        }
    }
    return tModel;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication tApp(argc, argv);
    qInstallMessageHandler(quietDebug);
    const kvModel tModel = surface(708); // 1,002,528 triangles
    const long long tTriangles = tModel.triangles().size();

    kvGLWindow tView;
    tView.resize(400, 300);
    tView.show();
    tView.replaceModel(0, tModel);
    kvDebugWindow tWindow;
    tWindow.initializeWidget(&tView);
    tWindow.show();
    QApplication::processEvents();

    QElapsedTimer tTimer;
    const int tRuns = 5;
    tTimer.start();
    for (int i = 0; i < tRuns; ++i)
        tWindow.initializeModel(tModel);
    KvBench::report(
        "inspector: show a loaded model", tTimer.nsecsElapsed() / 1e9 / tRuns, tTriangles, "tri");

    auto *tTable = tWindow.findChild<QTableView *>("glModelVerticesTable");
    tTimer.restart();
    for (int i = 0; i < tRuns; ++i) {
        tTable->scrollTo(tTable->model()->index(i * 500000, 0));
        tTable->viewport()->repaint();
    }
    KvBench::report("inspector: scroll and draw the vertex table",
        tTimer.nsecsElapsed() / 1e9 / tRuns, tTable->model()->rowCount(), "row");
    return 0;
}
