// Writing the placed part as ASCII STL.
#include "kvPrinterFile.h"
#include "kvPrinterFileShared.h"

#include "kvPlacement.h"
#include "kvPlatform.h"

#include <QDir>
#include <QFileInfo>

#include <charconv>
#include <cmath>
#include <limits>

using namespace Kv::Defines;
using namespace Kv::PrinterFile;

namespace {

const int kWriteBlock = 1 << 20;

// The default text stream form of a float: six significant digits, the shorter of
// fixed and exponent notation. Adding +0 turns a negative zero into 0.
void appendNumber(QByteArray &pOut, float pValue)
{
    const double tValue = double(pValue + 0.0f);
    if (std::isnan(tValue)) {
        pOut.append("nan");
    } else if (std::isinf(tValue)) {
        pOut.append(tValue < 0 ? "-inf" : "inf");
    } else {
        char tText[32];
        const auto tResult
            = std::to_chars(tText, tText + sizeof(tText), tValue, std::chars_format::general, 6);
        pOut.append(tText, int(tResult.ptr - tText));
    }
}

} // namespace

bool kvPrinterFile::saveSTL(kvVector3D pRotation, kvModel pModel, float pScale)
{
    return saveSTL(STLFileTypeBinary, pRotation, pModel, pScale);
}

bool kvPrinterFile::saveSTL(kvVector3D pRotation, kvModel pModel)
{
    return saveSTL(pRotation, pModel, 1.0f);
}

bool kvPrinterFile::saveSTL(
    kvSTLFileTypes pType, kvVector3D pRotation, kvModel pModel, float pScale)
{
    const QString tFolder = QDir(Kv::Platform::appDataLocation()).absolutePath();
    // The main window makes the folder at start; a file used on its own may come first.
    QDir().mkpath(tFolder);
    setTempSTLFileName(tFolder + QDir::separator() + QStringLiteral("Kestrova.stl"));
    return saveFile(pType, m_tempSTLFileName, pRotation, pModel, pScale);
}

bool kvPrinterFile::saveFile(
    kvSTLFileTypes pType, QString pFileName, kvVector3D pRotation, kvModel pModel, float pScale)
{
    Q_UNUSED(pType)
    m_saveError.clear();
    const auto tFail = [this](const QString &pReason) {
        m_saveError = pReason;
        statusUpdate(QStringLiteral("saveFile: ") + pReason);
        return false;
    };
    QFile tFile(pFileName);
    if (!tFile.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
        return tFail(QStringLiteral("Failed to open file!"));
    statusUpdate(QStringLiteral("saveFile: Saving temporary STL file."));

    // Normals turn with the corners but are not scaled.
    const QMatrix4x4 tRotation = Kv::placementMatrix(pRotation, 1.0f);
    const QMatrix4x4 tMatrix = Kv::placementMatrix(pRotation, pScale);

    // Lines are gathered into blocks; numbers are written as a text stream writes them.
    QByteArray tOut;
    tOut.reserve(kWriteBlock + 1024);
    // Closing the file forgets why a write failed: the text is kept at the failure.
    QString tWriteError;
    const auto tFlush = [&] {
        if (tWriteError.isEmpty() && (tFile.write(tOut) != tOut.size() || !tFile.flush()))
            tWriteError = tFile.errorString();
        tOut.clear();
    };
    const auto tVector = [&](const char *pLead, const QVector3D &pValue) {
        tOut.append(pLead);
        appendNumber(tOut, pValue.x());
        tOut.append(' ');
        appendNumber(tOut, pValue.y());
        tOut.append(' ');
        appendNumber(tOut, pValue.z());
        tOut.append('\n');
    };

    const auto tFinite = [](const QVector3D &pValue) {
        return std::isfinite(pValue.x()) && std::isfinite(pValue.y()) && std::isfinite(pValue.z());
    };

    tOut.append("solid\n");
    const QVector<kvTriangle> tTriangles = pModel.triangles();
    const float tTotal = float(tTriangles.size());
    int tIndex = 0;
    bool tTooLarge = false;
    QVarLengthArray<QVector3D, 4> tPlaced;
    for (const kvTriangle &tTriangle : tTriangles) {
        const kvVector3D tN = tTriangle.normal();
        const QVector3D tNormal = tRotation.mapVector(QVector3D(tN.x(), tN.y(), tN.z()));
        const QVector<kvVertex> tCorners = tTriangle.vertices();
        tPlaced.clear();
        tTooLarge = !tFinite(tNormal);
        for (const kvVertex &tVertex : tCorners) {
            const kvVector3D tP = tVertex.position();
            tPlaced << tMatrix.map(QVector3D(tP.x(), tP.y(), tP.z()));
            tTooLarge = tTooLarge || !tFinite(tPlaced.last());
        }
        // "inf" or "nan" in the file would reach the slicer as a part.
        if (tTooLarge)
            break;
        tVector(" facet normal ", tNormal);
        tOut.append("  outer loop\n");
        for (const QVector3D &tCorner : tPlaced)
            tVector("   vertex ", tCorner);
        tOut.append("  endloop\n endfacet\n");
        if (tOut.size() >= kWriteBlock)
            tFlush();
        ++tIndex;
        emit SaveFileProgress(int(float(tIndex) / tTotal * 100.0f));
    }
    if (tTooLarge) {
        tFile.remove();
        return tFail(QStringLiteral("The part is too large to save at scale %1: its coordinates "
                                    "would not be finite numbers. Nothing was saved.")
                         .arg(double(pScale)));
    }
    tOut.append("endsolid\n");
    tFlush();
    tFile.close();
    if (tWriteError.isEmpty() && tFile.error() != QFile::NoError)
        tWriteError = tFile.errorString();
    if (!tWriteError.isEmpty())
        return tFail(QStringLiteral("Failed to write file! ") + tWriteError);
    emit SaveFileProgress(100);
    statusUpdate(QStringLiteral("saveFile: Saved the temporary STL file %1.")
                     .arg(QDir::toNativeSeparators(pFileName)));
    return true;
}

bool kvPrinterFile::saveFile(QString pFileName, kvVector3D pRotation, kvModel pModel, float pScale)
{
    return saveFile(STLFileTypeASCII, pFileName, pRotation, pModel, pScale);
}

bool kvPrinterFile::saveFile(QString pFileName, kvVector3D pRotation, kvModel pModel)
{
    return saveFile(pFileName, pRotation, pModel, 1.0f);
}
