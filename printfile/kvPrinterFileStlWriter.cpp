// Writing the placed part as ASCII STL.
#include "kvPrinterFile.h"
#include "kvPrinterFileShared.h"

#include "kvPaths.h"
#include "kvPlacement.h"

#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QSaveFile>

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
    setTempSTLFileName(
        Kv::Paths::dataFolder() + QDir::separator() + QStringLiteral("Kestrova.stl"));
    // Another copy's slicer may not have read the file yet. A slice under way holds the
    // lock already and keeps it.
    const bool tHeld = m_sliceLock && m_sliceLock->isLocked();
    QString tReason;
    bool tFinal = false;
    if (!lockSliceFiles(tReason, tFinal)) {
        m_saveError = tReason;
        statusUpdate(QStringLiteral("saveFile: ") + tReason);
        return false;
    }
    const bool tSaved = saveFile(pType, m_tempSTLFileName, pRotation, pModel, pScale);
    if (!tHeld)
        unlockSliceFiles();
    return tSaved;
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
    const QString tShown = QDir::toNativeSeparators(pFileName);
    // A file is replaced only by a complete new one; a device or a pipe is written as is.
    const QFileInfo tTarget(pFileName);
    const bool tDirect = tTarget.exists() && !tTarget.isFile() && !tTarget.isDir();
    QSaveFile tSaved(pFileName);
    QFile tPlain(pFileName);
    QFileDevice &tFile = tDirect ? static_cast<QFileDevice &>(tPlain) : tSaved;
    const QIODevice::OpenMode tMode = tDirect
        ? QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text
        : QIODevice::WriteOnly | QIODevice::Text;
    if (!tFile.open(tMode))
        return tFail(
            QStringLiteral("Failed to open file! %1: %2").arg(tShown, tFile.errorString()));
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
        // A short write sets no error; writing the rest again gives its reason.
        qint64 tDone = 0;
        while (tWriteError.isEmpty() && tDone < tOut.size()) {
            const qint64 tStep = tFile.write(tOut.constData() + tDone, tOut.size() - tDone);
            if (tStep <= 0)
                tWriteError = tFile.errorString();
            tDone += qMax<qint64>(tStep, 0);
        }
        if (tWriteError.isEmpty() && !tFile.flush())
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
    int tPercent = -1;
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
        // One signal a percent, not one a facet.
        const int tNow = int(float(tIndex) / tTotal * 100.0f);
        if (tNow != tPercent) {
            tPercent = tNow;
            emit SaveFileProgress(tPercent);
        }
    }
    if (tTooLarge) {
        // The file that was there stays as it was.
        if (!tDirect)
            tSaved.cancelWriting();
        return tFail(QStringLiteral("The part is too large to save at scale %1: its coordinates "
                                    "would not be finite numbers. Nothing was saved.")
                         .arg(double(pScale)));
    }
    tOut.append("endsolid\n");
    tFlush();
    if (tDirect) {
        tPlain.close();
        if (tWriteError.isEmpty() && tPlain.error() != QFile::NoError)
            tWriteError = tPlain.errorString();
    } else if (!tWriteError.isEmpty()) {
        tSaved.cancelWriting();
    } else if (!tSaved.commit()) {
        // The new file is dropped; the one it was to replace stays.
        tWriteError = tSaved.errorString();
    }
    if (!tWriteError.isEmpty())
        return tFail(QStringLiteral("Failed to write file! %1: %2").arg(tShown, tWriteError));
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
