#pragma once

#include "kvExtruderData.h"
#include "kvGCode.h"

#include <QHash>
#include <QString>
#include <QVector>

// Reads a whole G-code file into memory and sorts its lines by kind, for the
// developer's analysis. Lists hold positions in vector(), not copies of lines.
class kvGCodeFile
{
public:
    kvGCodeFile() = default;

    // Also sets Name, the file name up to its first ".".
    void setFileName(const QString &pFileName);
    QString FileName() const { return m_FileName; }
    QString Name() const { return m_Name; }
    void setName(const QString &pName) { m_Name = pName; }

    // Appends every line of FileName; a missing or unreadable file adds nothing.
    void parse();
    void addGCode(const QString &pLine);
    void addGCode(const kvGCode &pLine);
    // Files the line at pPosition under blanks, comments or queue.
    void enqueue(int pPosition);

    // Adds every line to the kind lists (without emptying them first) and
    // returns the text report.
    QString analyze();
    void analyzeSingle(const kvGCode &pLine, int pPosition);
    void analyzeGCommand(const kvGCode *pLine);
    void checkForLayer(const kvGCode *pLine);

    QVector<kvGCode> vector() const { return m_lines; }
    QVector<int> queue() const { return m_queue; }
    QVector<int> comments() const { return m_comments; }
    QVector<int> blanks() const { return m_blanks; }
    QVector<int> xMoves() const { return m_xMoves; }
    QVector<int> yMoves() const { return m_yMoves; }
    QVector<int> zMoves() const { return m_zMoves; }
    QVector<int> gCommands() const { return m_gCommands; }
    QVector<int> mCommands() const { return m_mCommands; }
    QVector<int> tCommands() const { return m_tCommands; }
    QVector<int> eMoves() const { return m_eMoves; }
    QVector<int> layers() const { return m_layers; }

    float filamentUsedMM() const { return m_filamentUsedMM; }
    float filamentUsedCM3() const { return m_filamentUsedCM3; }
    float layerHeight() const { return m_layerHeight; }
    // Milliseconds the last parse and the last analyze took.
    float parseTime() const { return m_parseTime; }
    float analyzeTime() const { return m_analyzeTime; }

    // Empties the lines and lists and zeroes the figures; keeps the names,
    // the positioning mode and the extruder table.
    void clear();
    // Filament used, layer height and both times back to 0.
    void initalize();

private:
    QVector<kvGCode> m_lines;
    QVector<int> m_comments;
    QVector<int> m_blanks;
    QVector<int> m_queue;
    QVector<int> m_xMoves;
    QVector<int> m_yMoves;
    QVector<int> m_zMoves;
    QVector<int> m_gCommands;
    QVector<int> m_mCommands;
    QVector<int> m_tCommands;
    QVector<int> m_eMoves;
    QVector<int> m_layers;
    QString m_Name;
    QString m_FileName;
    float m_filamentUsedMM = 0;
    float m_filamentUsedCM3 = 0;
    float m_layerHeight = 0;
    float m_parseTime = 0;
    float m_analyzeTime = 0;
    int m_positioning = 0; // 1 relative (G91), 0 absolute (G90)
    int m_currentExtruder = 0;
    QHash<int, kvExtruderData> m_extruders;
};
