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
    // Neither reader can read what the type test refused.
    if (!m_loadRefusal.isEmpty())
        return kvModel();
    if (m_stlFileType == STLFileTypeBinary)
        return parseSTLBinary();
    return parseSTLAscii();
}

void kvPrinterFile::determineSTLType()
{
    m_stlFileType = STLFileTypeASCII;
    qint32 tCount = 0;
    // Shorter than a header, or unreadable: no binary STL.
    const bool tHasCount = readFacetCount(&m_file, tCount);
    if (tHasCount && tCount >= 0 && m_file.size() == kHeaderSize + kFacetSize * qint64(tCount)) {
        m_stlFileType = STLFileTypeBinary;
        return;
    }
    if (!m_file.isOpen())
        return;
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
    // An ASCII STL saved as UTF-16 holds a NUL byte beside every letter: no binary STL, and
    // no text the ASCII reader can read.
    if (startsAsUtf16Text(tStart.constData(), tStart.size(), "solid")) {
        refuseLoad(QStringLiteral("determineSTLType: The file is UTF-16 text; an ASCII STL file "
                                  "must be saved as ASCII or UTF-8 text."),
            QStringLiteral("it is UTF-16 text, not ASCII STL text"));
        return;
    }
    // Other text never holds a NUL byte; binary data nearly always does. Such a file is
    // a binary STL whose count does not match its size (truncated, or a wrong header).
    if (tHasCount && tStart.contains('\0'))
        m_stlFileType = STLFileTypeBinary;
}
