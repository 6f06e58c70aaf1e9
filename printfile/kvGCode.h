#pragma once

#include "kvVector3D.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// One line of G-code as a value: the raw line, the cleaned text sent to the
// printer, the command and its number, the comment and the word values.
// The line is parsed once, by the constructor; copies are never parsed again.
class kvGCode
{
public:
    kvGCode();
    kvGCode(QString pLine);
    kvGCode(const kvGCode &pOther) = default;
    kvGCode(kvGCode &&pOther) noexcept = default;
    kvGCode &operator=(const kvGCode &pOther) = default;
    kvGCode &operator=(kvGCode &&pOther) noexcept = default;

    void initalize(QString pLine);
    void copy(const kvGCode &pOther);

    void setRaw(const QString &pRaw);
    void setCleaned(const QString &pCleaned);
    void setCommand(const QString &pCommand);
    void setCommandNumber(const int &pNumber);
    void setComment(const QString &pComment);
    void appenedComment(const QString &pComment);
    void setCommandAndNumber(QString pText);

    void setXValue(float pValue);
    void setYValue(float pValue);
    void setZValue(float pValue);
    void setEValue(float pValue);
    void setFValue(float pValue);
    void setSValue(float pValue);
    void setPValue(float pValue);
    void setTValue(float pValue);
    void setRValue(float pValue);

    QString Raw() const { return m_Raw; }
    QString Cleaned() const { return m_Cleaned; }
    QString Command() const { return m_Command; }
    QString Comment() const { return m_Comment; }
    int CommandNumber() const { return m_CommandNumber; }

    float XValue() const { return m_Coordinates.x(); }
    float YValue() const { return m_Coordinates.y(); }
    float ZValue() const { return m_Coordinates.z(); }
    float EValue() const { return m_E; }
    float FValue() const { return m_F; }
    float SValue() const { return m_S; }
    float PValue() const { return m_P; }
    float TValue() const { return m_T; }
    float RValue() const { return m_R; }
    kvVector3D Coordinates() const { return m_Coordinates; }

    bool hasX() const { return m_HasX; }
    bool hasY() const { return m_HasY; }
    bool hasZ() const { return m_HasZ; }
    bool hasE() const { return m_HasE; }
    bool hasF() const { return m_HasF; }
    bool hasS() const { return m_HasS; }
    bool hasP() const { return m_HasP; }
    bool hasT() const { return m_HasT; }
    bool hasR() const { return m_HasR; }
    bool hasG() const { return m_HasG; }
    bool hasM() const { return m_HasM; }
    bool isBlank() const { return m_Blank; }

    bool isComment() const;
    bool isValidGCodeSequence(QString pText) const;

    bool loadFromRawString(QString pLine);

    // The text of a line of a file: its valid UTF-8 decoded, every other byte kept as a
    // stand-in character (U+DC80 to U+DCFF, never valid text), so that lineBytes gives back
    // the file's own bytes.
    static QString textOfLine(const char *pData, int pSize);
    // The bytes a line's text is sent as: UTF-8, each stand-in as its byte.
    static QByteArray lineBytes(const QString &pText);

    // Locale-independent number reading used for the word values: surrounding
    // white space ignored, a text that is not a finite float gives 0.
    static float parseFloat(const QChar *pBegin, const QChar *pEnd);
    // Base-10 int; 0 when the text is not a whole number in range.
    static int parseInt(const QChar *pBegin, const QChar *pEnd);

private:
    void parseGLine(const QString &pLine);
    void parseMLine(const QString &pLine);

    kvVector3D m_Coordinates;
    QString m_Command;
    int m_CommandNumber = -1;
    QString m_Raw;
    QString m_Cleaned;
    float m_E = 0;
    float m_F = 0;
    float m_S = 0;
    float m_P = 0;
    float m_T = 0;
    float m_R = 0;
    bool m_HasX = false;
    bool m_HasY = false;
    bool m_HasZ = false;
    bool m_HasE = false;
    bool m_HasF = false;
    bool m_HasS = false;
    bool m_HasP = false;
    bool m_HasT = false;
    bool m_HasR = false;
    bool m_HasG = false;
    bool m_HasM = false;
    bool m_Blank = false;
    QString m_Comment;
};

Q_DECLARE_TYPEINFO(kvGCode, Q_MOVABLE_TYPE);
