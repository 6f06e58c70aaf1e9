// Fuzz target for the STL readers: the input is read as ASCII and as binary STL
// from memory, and loaded from a file so that the type detection runs too.

#include "kvPrinterFile.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFile>
#include <QLoggingCategory>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

namespace {

QTemporaryDir *gDir = nullptr;

void check(bool pCondition, const char *pWhat)
{
    if (!pCondition) {
        std::fprintf(stderr, "STL reader check failed: %s\n", pWhat);
        std::abort();
    }
}

void checkModel(const kvModel &pModel, qint64 pMaxFacets)
{
    const int tTriangles = pModel.triangles().size();
    check(tTriangles <= pMaxFacets, "no more facets than the data holds");
    check(pModel.vertexVector().size() == 3 * tTriangles, "three corners per facet");
    check(pModel.normals().size() == 3 * tTriangles, "three normals per facet");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *pArgc, char ***pArgv)
{
    static QCoreApplication *tApp = new QCoreApplication(*pArgc, *pArgv);
    Q_UNUSED(tApp)
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false\nqt.*=false"));
    gDir = new QTemporaryDir;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *pData, size_t pSize)
{
    if (pSize > 1 << 20)
        return 0;
    const QByteArray tBytes(reinterpret_cast<const char *>(pData), int(pSize));
    kvPrinterFile tFile;

    QBuffer tBuffer;
    tBuffer.setData(tBytes);
    tBuffer.open(QIODevice::ReadOnly);
    // Facets start at least 13 bytes apart in text; a binary one needs 50 bytes.
    checkModel(tFile.parseSTLAscii(&tBuffer), qint64(pSize) / 13 + 1);
    checkModel(tFile.parseSTLBinary(&tBuffer), pSize >= 84 ? (qint64(pSize) - 84) / 50 : 0);

    const QString tPath = gDir->filePath(QStringLiteral("input.stl"));
    QFile tOut(tPath);
    if (tOut.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        tOut.write(tBytes);
        tOut.close();
        checkModel(tFile.loadFile(tPath), qint64(pSize) / 13 + 1);
    }
    return 0;
}
