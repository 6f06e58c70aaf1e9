// Telling G-code from STL, and ASCII from binary STL.
#include "kvPrinterFile.h"
#include "kvPrinterFileShared.h"

#include <QFileInfo>

using namespace Kv::Defines;
using namespace Kv::PrinterFile;

kvModel kvPrinterFile::determineFileType()
{
    const QString tSuffix = QFileInfo(m_fileName).completeSuffix().toUpper();
    if (tSuffix.contains(QLatin1String("STL"))) {
        m_fileType = FileTypeSTL;
        return parseSTL();
    }
    if (tSuffix.contains(QLatin1String("GCODE"))) {
        m_fileType = FileTypeGCode;
        setTempGCodeFileName(m_fileName);
        parseGCode();
        return kvModel();
    }
    refuseLoad(QStringLiteral("determineFileType: The file name has no .stl or .gcode ending."),
        QStringLiteral("its name has no .stl or .gcode ending"));
    return kvModel();
}

kvModel kvPrinterFile::parseSTL()
{
    determineSTLType();
    if (m_stlFileType == STLFileTypeBinary)
        return parseSTLBinary();
    return parseSTLAscii();
}

void kvPrinterFile::determineSTLType()
{
    m_stlFileType = STLFileTypeASCII;
    qint32 tCount = 0;
    if (!readFacetCount(&m_file, tCount))
        return;
    const qint64 tSize = m_file.size();
    if (tCount >= 0 && tSize == kHeaderSize + kFacetSize * qint64(tCount)) {
        m_stlFileType = STLFileTypeBinary;
        return;
    }
    // The size does not match the count: text that begins like an ASCII STL is one,
    // whatever else it holds (some exporters pad it with NUL bytes).
    m_file.seek(0);
    const QByteArray tStart = m_file.read(kHeaderSize + 64 * kFacetSize);
    const char *tData = tStart.constData();
    qint64 tLength = tStart.size();
    if (startsWithByteOrderMark(tData, tLength)) {
        tData += 3;
        tLength -= 3;
    }
    while (tLength > 0 && isBlankByte(*tData)) {
        ++tData;
        --tLength;
    }
    if (startsWithNoCase(tData, tLength, "solid")
        && KeywordFinder(tData, tLength, "FACET").find(5) >= 0)
        return;
    // Other text never holds a NUL byte; binary data nearly always does. Such a file is
    // a binary STL whose count does not match its size (truncated, or a wrong header).
    if (tStart.contains('\0'))
        m_stlFileType = STLFileTypeBinary;
}
