// Building a kvModel from a closed sphere of 1,000,000 triangles, small and large radius.
// Each case runs in a child process of its own so that its peak memory is its own.
#include "benchMeshes.h"
#include "benchSupport.h"

#include "kvModel.h"

#include <sys/wait.h>
#include <unistd.h>

#include <QVector>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr int kSlices = 1000;
constexpr int kStacks = 501; // 2 * slices * (stacks - 1) = 1,000,000 triangles

// Builds the model three times and returns the best time, or a negative value on a fault.
double runCase(double pRadius)
{
    const QVector<kvVector3D> tCorners = KvBench::sphereCorners(pRadius, kSlices, kStacks);
    const int tTriangles = tCorners.size() / 3;
    double tBest = 1e9;
    int tVertices = 0;
    for (int tRun = 0; tRun < 3; ++tRun) {
        QElapsedTimer tTimer;
        tTimer.start();
        kvModel tModel;
        for (int i = 0; i < tCorners.size(); i += 3) {
            tModel.addTriangle(kvVertex(tCorners.at(i)), kvVertex(tCorners.at(i + 1)),
                kvVertex(tCorners.at(i + 2)), kvVector3D(0, 0, 1));
        }
        tBest = qMin(tBest, tTimer.nsecsElapsed() / 1e9);
        tVertices = tModel.vertices().count();
    }
    const int tExpected = kSlices * (kStacks - 1) + 2;
    if (tVertices != tExpected) {
        std::printf(
            "radius %.0f mm: %d distinct vertices, expected %d\n", pRadius, tVertices, tExpected);
        return -1;
    }
    char tLabel[96];
    std::snprintf(
        tLabel, sizeof tLabel, "kvModel sphere r=%.0f mm, %d triangles", pRadius, tTriangles);
    KvBench::report(tLabel, tBest, tTriangles, "triangles");
    return tBest;
}

// Runs one case in a child process; its time comes back through a pipe.
double runChild(double pRadius)
{
    int tPipe[2];
    if (pipe(tPipe) != 0)
        return -1;
    std::fflush(stdout);
    const pid_t tPid = fork();
    if (tPid == 0) {
        close(tPipe[0]);
        const double tSeconds = runCase(pRadius);
        const bool tSent = write(tPipe[1], &tSeconds, sizeof tSeconds) == sizeof tSeconds;
        std::fflush(stdout);
        std::_Exit(tSent ? 0 : 1);
    }
    close(tPipe[1]);
    double tSeconds = -1;
    if (read(tPipe[0], &tSeconds, sizeof tSeconds) != sizeof tSeconds)
        tSeconds = -1;
    close(tPipe[0]);
    int tStatus = 0;
    waitpid(tPid, &tStatus, 0);
    if (!WIFEXITED(tStatus) || WEXITSTATUS(tStatus) != 0)
        return -1;
    return tSeconds;
}

} // namespace

int main()
{
    const double tSmall = runChild(20.0);
    const double tLarge = runChild(100.0);
    if (tSmall < 0 || tLarge < 0)
        return 1;
    const double tRatio = tSmall / tLarge;
    const bool tOk = tRatio <= 1.3 && tSmall < 0.6 && tLarge < 0.6;
    std::printf("ratio r=20 / r=100: %.2f (target <= 1.30, both < 0.600 s): %s\n", tRatio,
        tOk ? "met" : "NOT met");
    return tOk ? 0 : 1;
}
