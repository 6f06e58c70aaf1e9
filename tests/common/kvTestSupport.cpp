#include "kvTestSupport.h"

#include <QApplication>
#include <QDir>

#include <malloc.h>
#include <cstdlib>

namespace KvTest {

void setUpApplication()
{
    QCoreApplication::setOrganizationName(QString());
    QCoreApplication::setOrganizationDomain(QString());
    QCoreApplication::setApplicationName(QStringLiteral("Kestrova"));
}

QString dataPath(const QString &pName)
{
    return QDir(QStringLiteral(KV_TEST_DATA_DIR)).filePath(pName);
}

qint64 heapInUse()
{
    // A small block taken must show, else the heap is not the one watched here.
    static void *volatile tProbe = nullptr;
    const qint64 tBefore = qint64(mallinfo2().uordblks);
    tProbe = std::malloc(64 * 1024);
    const qint64 tDuring = qint64(mallinfo2().uordblks);
    std::free(tProbe);
    tProbe = nullptr;
    if (tDuring - tBefore < 64 * 1024)
        return -1;
    return tBefore;
}

}
