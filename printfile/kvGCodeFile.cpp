#include "kvGCodeFile.h"

#include "kvHelpers.h"
#include "kvPlatform.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>

namespace {

// A monotonic clock: a run across midnight or a clock change still gives the real duration.
float elapsedMilliseconds(const QElapsedTimer &pTimer)
{
    return float(double(pTimer.nsecsElapsed()) / 1.0e6);
}

} // namespace

void kvGCodeFile::setFileName(const QString &pFileName)
{
    m_FileName = pFileName;
    m_Name = QFileInfo(pFileName).baseName();
}

void kvGCodeFile::parse()
{
    QElapsedTimer tTimer;
    tTimer.start();

    // A pipe would block the opening, a device never end.
    if (!QFile::exists(m_FileName) || !Kv::Platform::notRegularFileReason(m_FileName).isEmpty())
        return;

    // The file is closed again once read; nothing needs it open afterwards.
    QFile tFile(m_FileName);
    if (tFile.open(QIODevice::ReadOnly)) {
        QTextStream tStream(&tFile);
        tStream.setCodec("UTF-8");
        QString tLine;
        while (tStream.readLineInto(&tLine))
            addGCode(tLine);
    }

    m_parseTime = elapsedMilliseconds(tTimer);
}

void kvGCodeFile::addGCode(const QString &pLine)
{
    addGCode(kvGCode(pLine));
}

void kvGCodeFile::addGCode(const kvGCode &pLine)
{
    m_lines.append(pLine);
    enqueue(m_lines.size() - 1);
}

void kvGCodeFile::enqueue(int pPosition)
{
    if (pPosition < 0 || pPosition >= m_lines.size())
        return;
    const kvGCode &tLine = m_lines.at(pPosition);
    if (tLine.isBlank())
        m_blanks.append(pPosition);
    else if (tLine.isComment())
        m_comments.append(pPosition);
    else
        m_queue.append(pPosition);
}

QString kvGCodeFile::analyze()
{
    QElapsedTimer tTimer;
    tTimer.start();

    m_extruders.insert(0, kvExtruderData(0));
    m_currentExtruder = 0;

    for (int tPosition = 0; tPosition < m_lines.size(); ++tPosition) {
        const kvGCode &tLine = m_lines.at(tPosition);
        analyzeSingle(tLine, tPosition);
        if (tLine.hasX())
            m_xMoves.append(tPosition);
        if (tLine.hasY())
            m_yMoves.append(tPosition);
        if (tLine.hasZ())
            m_zMoves.append(tPosition);
        if (tLine.hasE())
            m_eMoves.append(tPosition);
    }

    m_analyzeTime = elapsedMilliseconds(tTimer);

    QString tReport;
    QTextStream tOut(&tReport);
    tOut << "GCode File:   " << m_Name << '\n'
         << "Parse Time:   " << Kv::millisecondsToTime(m_parseTime) << " seconds\n"
         << "Analyze Time: " << Kv::millisecondsToTime(m_analyzeTime) << " seconds\n"
         << "Layer Height: " << QString::number(double(m_layerHeight), 'g', 6) << '\n'
         << "Count:        " << m_lines.size() << '\n'
         << "Queue:        " << m_queue.size() << '\n'
         << "Comments:     " << m_comments.size() << '\n'
         << "XMoves:       " << m_xMoves.size() << '\n'
         << "YMoves:       " << m_yMoves.size() << '\n'
         << "ZMoves:       " << m_zMoves.size() << '\n'
         << "GCommands:    " << m_gCommands.size() << '\n'
         << "MCommands:    " << m_mCommands.size() << '\n'
         << "TCommands:    " << m_tCommands.size() << '\n'
         << "EMoves:       " << m_eMoves.size() << '\n';
    tOut.flush();
    return tReport;
}

void kvGCodeFile::analyzeSingle(const kvGCode &pLine, int pPosition)
{
    if (pLine.hasG()) {
        m_gCommands.append(pPosition);
        analyzeGCommand(&pLine);
    } else if (pLine.hasM()) {
        m_mCommands.append(pPosition);
    } else if (pLine.hasT()) {
        m_tCommands.append(pPosition);
    }
}

void kvGCodeFile::analyzeGCommand(const kvGCode *pLine)
{
    if (!pLine)
        return;
    if (pLine->CommandNumber() == 91)
        m_positioning = 1;
    else if (pLine->CommandNumber() == 90)
        m_positioning = 0;
}

void kvGCodeFile::checkForLayer(const kvGCode *) { }

void kvGCodeFile::clear()
{
    m_lines.clear();
    m_comments.clear();
    m_blanks.clear();
    m_queue.clear();
    m_xMoves.clear();
    m_yMoves.clear();
    m_zMoves.clear();
    m_gCommands.clear();
    m_mCommands.clear();
    m_tCommands.clear();
    m_eMoves.clear();
    m_layers.clear();
    initalize();
}

void kvGCodeFile::initalize()
{
    m_filamentUsedMM = 0;
    m_filamentUsedCM3 = 0;
    m_layerHeight = 0;
    m_parseTime = 0;
    m_analyzeTime = 0;
}
