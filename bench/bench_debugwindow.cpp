// Cost of the inspector with a 1,000,000-triangle part (Release, under an X display):
// showing a newly loaded model (statistics, bounds and its 3,000,000-row vertex table)
// and drawing the visible rows of that table.

#include "benchMeshes.h"
#include "benchSupport.h"
#include "kvDebugWindow.h"
#include "kvGLWindow.h"
#include "kvModel.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTabWidget>
#include <QTableView>
#include <cmath>

int main(int argc, char **argv)
{
    QApplication tApp(argc, argv);
    qInstallMessageHandler(KvBench::quietDebug);
    const kvModel tModel = KvBench::wavySurface(708); // 1,002,528 triangles
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
