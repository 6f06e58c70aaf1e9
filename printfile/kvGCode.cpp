#include "kvGCode.h"

#include "kvLogging.h"

#include <QVarLengthArray>

#include <charconv>
#include <cmath>
#include <limits>

namespace {

const QString &unknownLine()
{
    static const QString tUnknown = QStringLiteral("UNK");
    return tUnknown;
}

// Shared one-letter command texts, so the common commands cost no allocation.
QString commandText(QChar pLetter)
{
    static const QString tG = QStringLiteral("G");
    static const QString tM = QStringLiteral("M");
    static const QString tT = QStringLiteral("T");
    switch (pLetter.unicode()) {
    case 'G':
        return tG;
    case 'M':
        return tM;
    case 'T':
        return tT;
    default:
        return QString(pLetter);
    }
}

inline bool isDigit(ushort pChar)
{
    return pChar >= '0' && pChar <= '9';
}

inline void trimRange(const QChar *&pBegin, const QChar *&pEnd)
{
    while (pBegin < pEnd && pBegin->isSpace())
        ++pBegin;
    while (pEnd > pBegin && (pEnd - 1)->isSpace())
        --pEnd;
}

inline const QChar *find(const QChar *pBegin, const QChar *pEnd, ushort pLetter)
{
    for (const QChar *tAt = pBegin; tAt < pEnd; ++tAt) {
        if (tAt->unicode() == pLetter)
            return tAt;
    }
    return nullptr;
}

// First positions of the letters a G or M line's token is tested for.
struct kvTokenScan
{
    const QChar *semicolon = nullptr;
    const QChar *g = nullptr;
    const QChar *x = nullptr;
    const QChar *y = nullptr;
    const QChar *z = nullptr;
    const QChar *e = nullptr;
    const QChar *f = nullptr;
    const QChar *m = nullptr;
    const QChar *s = nullptr;
    const QChar *p = nullptr;
};

inline void scanToken(const QChar *pBegin, const QChar *pEnd, kvTokenScan &pScan)
{
    pScan = kvTokenScan();
    for (const QChar *tAt = pBegin; tAt < pEnd; ++tAt) {
        const QChar **tSlot = nullptr;
        switch (tAt->unicode()) {
        case ';':
            tSlot = &pScan.semicolon;
            break;
        case 'G':
            tSlot = &pScan.g;
            break;
        case 'X':
            tSlot = &pScan.x;
            break;
        case 'Y':
            tSlot = &pScan.y;
            break;
        case 'Z':
            tSlot = &pScan.z;
            break;
        case 'E':
            tSlot = &pScan.e;
            break;
        case 'F':
            tSlot = &pScan.f;
            break;
        case 'M':
            tSlot = &pScan.m;
            break;
        case 'S':
            tSlot = &pScan.s;
            break;
        case 'P':
            tSlot = &pScan.p;
            break;
        default:
            break;
        }
        if (tSlot && !*tSlot)
            *tSlot = tAt;
    }
}

// Calls pVisit(begin, end, scan) for each token of the line split at every blank, empty
// tokens included, in order; stops when pVisit returns false.
template <typename Visit> void forEachToken(const QString &pLine, Visit pVisit)
{
    const QChar *tEnd = pLine.constData() + pLine.size();
    kvTokenScan tScan;
    for (const QChar *tToken = pLine.constData();;) {
        const QChar *tTokenEnd = find(tToken, tEnd, ' ');
        if (!tTokenEnd)
            tTokenEnd = tEnd;
        scanToken(tToken, tTokenEnd, tScan);
        if (!pVisit(tToken, tTokenEnd, tScan) || tTokenEnd == tEnd)
            return;
        tToken = tTokenEnd + 1;
    }
}

} // namespace

QString kvGCode::textOfLine(const char *pData, int pSize)
{
    QString tText = QString::fromUtf8(pData, pSize);
    if (!tText.contains(QChar::ReplacementCharacter))
        return tText;
    // Decoded sequence by sequence: a byte that starts no valid one stands for itself.
    tText.clear();
    tText.reserve(pSize);
    const uchar *tAt = reinterpret_cast<const uchar *>(pData);
    const uchar *const tEnd = tAt + pSize;
    while (tAt < tEnd) {
        const uchar tLead = *tAt;
        int tMore = -1;
        uint tCode = 0;
        uint tLeast = 0;
        if (tLead < 0x80) {
            tMore = 0;
            tCode = tLead;
        } else if ((tLead & 0xE0) == 0xC0) {
            tMore = 1;
            tCode = tLead & 0x1F;
            tLeast = 0x80;
        } else if ((tLead & 0xF0) == 0xE0) {
            tMore = 2;
            tCode = tLead & 0x0F;
            tLeast = 0x800;
        } else if ((tLead & 0xF8) == 0xF0) {
            tMore = 3;
            tCode = tLead & 0x07;
            tLeast = 0x10000;
        }
        bool tValid = tMore >= 0 && tEnd - tAt > tMore;
        for (int i = 1; tValid && i <= tMore; ++i) {
            tValid = (tAt[i] & 0xC0) == 0x80;
            tCode = (tCode << 6) | (tAt[i] & 0x3F);
        }
        tValid = tValid && tCode >= tLeast && tCode <= 0x10FFFF
            && !(tCode >= 0xD800 && tCode <= 0xDFFF);
        if (!tValid) {
            tText.append(QChar(ushort(0xDC00 + tLead)));
            ++tAt;
        } else if (tCode >= 0x10000) {
            tText.append(QChar(QChar::highSurrogate(tCode)));
            tText.append(QChar(QChar::lowSurrogate(tCode)));
            tAt += tMore + 1;
        } else {
            tText.append(QChar(ushort(tCode)));
            tAt += tMore + 1;
        }
    }
    return tText;
}

QByteArray kvGCode::lineBytes(const QString &pText)
{
    const QChar *const tBegin = pText.constData();
    const QChar *const tEnd = tBegin + pText.size();
    // A low surrogate after a high one is half of a valid character, no stand-in.
    const auto tIsStandIn = [tBegin](const QChar *pAt) {
        const ushort tCode = pAt->unicode();
        return tCode >= 0xDC80 && tCode <= 0xDCFF && (pAt == tBegin || !pAt[-1].isHighSurrogate());
    };
    const QChar *tAt = tBegin;
    while (tAt < tEnd && !tIsStandIn(tAt))
        ++tAt;
    if (tAt == tEnd)
        return pText.toUtf8();
    QByteArray tBytes;
    tBytes.reserve(pText.size() + 16);
    const QChar *tRun = tBegin;
    for (; tAt < tEnd; ++tAt) {
        if (!tIsStandIn(tAt))
            continue;
        tBytes += QStringView(tRun, tAt - tRun).toUtf8();
        tBytes += char(tAt->unicode() - 0xDC00);
        tRun = tAt + 1;
    }
    tBytes += QStringView(tRun, tEnd - tRun).toUtf8();
    return tBytes;
}

kvGCode::kvGCode()
{
    initalize(unknownLine());
}

kvGCode::kvGCode(QString pLine)
{
    initalize(std::move(pLine));
}

void kvGCode::initalize(QString pLine)
{
    m_Command.clear();
    m_CommandNumber = -1;
    m_Comment.clear();
    setRaw(pLine);
    m_Coordinates = kvVector3D(0, 0, 0);
    m_E = m_F = m_S = m_P = m_T = m_R = 0;
    m_HasX = m_HasY = m_HasZ = m_HasE = m_HasF = m_HasS = m_HasP = m_HasT = m_HasR = false;
    m_HasG = m_HasM = m_Blank = false;
    if (m_Raw != unknownLine())
        loadFromRawString(m_Raw);
}

void kvGCode::copy(const kvGCode &pOther)
{
    if (this == &pOther)
        return;
    initalize(unknownLine());
    m_Command = pOther.m_Command;
    m_CommandNumber = pOther.m_CommandNumber;
    m_Comment = pOther.m_Comment;
    setRaw(pOther.m_Raw);
    m_Cleaned = pOther.m_Cleaned;
    m_HasG = pOther.m_HasG;
    m_HasM = pOther.m_HasM;
    m_HasT = pOther.m_HasT;
    m_Blank = pOther.m_Blank;
    if (pOther.m_HasX)
        setXValue(pOther.XValue());
    if (pOther.m_HasY)
        setYValue(pOther.YValue());
    if (pOther.m_HasZ)
        setZValue(pOther.ZValue());
    if (pOther.m_HasE)
        setEValue(pOther.m_E);
    if (pOther.m_HasF)
        setFValue(pOther.m_F);
    if (pOther.m_HasP)
        setPValue(pOther.m_P);
    if (pOther.m_HasR)
        setRValue(pOther.m_R);
    if (pOther.m_HasS)
        setSValue(pOther.m_S);
    if (pOther.m_HasT)
        setTValue(pOther.m_T);
}

void kvGCode::setRaw(const QString &pRaw)
{
    m_Raw = pRaw;
    const int tSemicolon = pRaw.indexOf(QLatin1Char(';'));
    if (tSemicolon < 0) {
        m_Cleaned = pRaw;
        return;
    }
    const QChar *tBegin = pRaw.constData();
    const QChar *tEnd = tBegin + tSemicolon;
    trimRange(tBegin, tEnd);
    m_Cleaned = QString(tBegin, int(tEnd - tBegin));
}

void kvGCode::setCleaned(const QString &pCleaned)
{
    m_Cleaned = pCleaned;
}

void kvGCode::setCommand(const QString &pCommand)
{
    m_Command = pCommand;
}

void kvGCode::setCommandNumber(const int &pNumber)
{
    m_CommandNumber = pNumber;
}

void kvGCode::setComment(const QString &pComment)
{
    m_Comment = pComment;
}

void kvGCode::appenedComment(const QString &pComment)
{
    m_Comment = m_Comment + QLatin1Char(' ') + pComment;
}

void kvGCode::setCommandAndNumber(QString pText)
{
    if (pText.isEmpty()) {
        m_Command.clear();
        m_CommandNumber = 0;
        return;
    }
    const QChar tLetter = pText.at(0);
    m_Command = commandText(tLetter);
    QVarLengthArray<QChar, 64> tDigits;
    for (const QChar tChar : qAsConst(pText)) {
        if (tChar != tLetter)
            tDigits.append(tChar);
    }
    m_CommandNumber = parseInt(tDigits.constData(), tDigits.constData() + tDigits.size());
}

void kvGCode::setXValue(float pValue)
{
    m_Coordinates.setX(pValue);
    m_HasX = true;
}

void kvGCode::setYValue(float pValue)
{
    m_Coordinates.setY(pValue);
    m_HasY = true;
}

void kvGCode::setZValue(float pValue)
{
    m_Coordinates.setZ(pValue);
    m_HasZ = true;
}

void kvGCode::setEValue(float pValue)
{
    m_E = pValue;
    m_HasE = true;
}

void kvGCode::setFValue(float pValue)
{
    m_F = pValue;
    m_HasF = true;
}

void kvGCode::setSValue(float pValue)
{
    m_S = pValue;
    m_HasS = true;
}

void kvGCode::setPValue(float pValue)
{
    m_P = pValue;
    m_HasP = true;
}

void kvGCode::setTValue(float pValue)
{
    m_T = pValue;
    m_HasT = true;
}

void kvGCode::setRValue(float pValue)
{
    m_R = pValue;
    m_HasR = true;
}

bool kvGCode::isComment() const
{
    if (m_HasX || m_HasY || m_HasZ || m_HasE || m_HasF || m_HasP || m_HasR || m_HasS || m_HasT)
        return false;
    return m_Comment.isEmpty() || m_Comment.startsWith(QLatin1Char(';'));
}

bool kvGCode::isValidGCodeSequence(QString pText) const
{
    if (pText.size() < 2)
        return false;
    const ushort tFirst = pText.at(0).unicode();
    return tFirst >= 'A' && tFirst <= 'Z' && isDigit(pText.at(1).unicode());
}

bool kvGCode::loadFromRawString(QString pLine)
{
    if (pLine.isEmpty()) {
        m_Blank = true;
        qCDebug(lcPrintFile).noquote()
            << QStringLiteral("bool kvGCode::loadFromRawString(QString pRawString): \"%1\"")
                   .arg(pLine);
        return false;
    }
    const QChar *tBegin = pLine.constData();
    const QChar *tEnd = tBegin + pLine.size();
    const QChar *tFirst = tBegin;
    while (tFirst < tEnd && tFirst->isSpace())
        ++tFirst;
    if (tFirst < tEnd && tFirst->unicode() == ';')
        return false;

    switch (tBegin->unicode()) {
    case 'G':
        parseGLine(pLine);
        break;
    case 'M':
        parseMLine(pLine);
        break;
    case 'T':
        setCommandAndNumber(pLine);
        m_HasT = true;
        break;
    default:
        break;
    }
    return false;
}

void kvGCode::parseGLine(const QString &pLine)
{
    const QChar *tLine = pLine.constData();
    const QChar *tEnd = tLine + pLine.size();
    forEachToken(pLine, [&](const QChar *pToken, const QChar *pTokenEnd, const kvTokenScan &pScan) {
        if (pScan.semicolon) {
            // The rest of the line after this token, blanks included, is the comment.
            if (pTokenEnd < tEnd)
                m_Comment = pLine.mid(int(pTokenEnd - tLine));
            return false;
        }
        if (pScan.g) {
            setCommandAndNumber(QString(pToken, int(pTokenEnd - pToken)));
            m_HasG = true;
        } else if (pScan.x) {
            const QChar *tStop = find(pScan.x + 1, pTokenEnd, 'Y');
            setXValue(parseFloat(pScan.x + 1, tStop ? tStop : pTokenEnd));
        } else if (pScan.y) {
            const QChar *tStop = find(pScan.y + 1, pTokenEnd, 'F');
            if (!tStop)
                tStop = find(pScan.y + 1, pTokenEnd, 'E');
            setYValue(parseFloat(pScan.y + 1, tStop ? tStop : pTokenEnd));
        } else if (pScan.f) {
            setFValue(parseFloat(pScan.f + 1, pTokenEnd));
        } else if (pScan.e) {
            const QChar *tStop = find(pScan.e + 1, pTokenEnd, 'F');
            setEValue(parseFloat(pScan.e + 1, tStop ? tStop : pTokenEnd));
        }
        if (pScan.z)
            setZValue(parseFloat(pScan.z + 1, pTokenEnd));
        return true;
    });
}

void kvGCode::parseMLine(const QString &pLine)
{
    const QChar *tCommentBegin = nullptr;
    const QChar *tCommentEnd = nullptr;
    forEachToken(pLine, [&](const QChar *pToken, const QChar *pTokenEnd, const kvTokenScan &pScan) {
        if (pScan.semicolon) {
            tCommentBegin = pToken;
            tCommentEnd = pTokenEnd;
        } else if (pScan.m) {
            setCommandAndNumber(QString(pToken, int(pTokenEnd - pToken)));
            m_HasM = true;
        } else if (pScan.s) {
            setSValue(parseFloat(pScan.s + 1, pTokenEnd));
        } else if (pScan.p) {
            setPValue(parseFloat(pScan.p + 1, pTokenEnd));
        }
        return true;
    });
    if (tCommentBegin)
        m_Comment = QString(tCommentBegin, int(tCommentEnd - tCommentBegin));
}

float kvGCode::parseFloat(const QChar *pBegin, const QChar *pEnd)
{
    trimRange(pBegin, pEnd);
    const QChar *tAt = pBegin;
    bool tNegative = false;
    if (tAt < pEnd && (tAt->unicode() == '+' || tAt->unicode() == '-')) {
        tNegative = tAt->unicode() == '-';
        ++tAt;
    }
    // Plain decimal syntax only: digits, an optional point, an optional exponent.
    const QChar *tMantissa = tAt;
    int tDigits = 0;
    while (tAt < pEnd && isDigit(tAt->unicode())) {
        ++tAt;
        ++tDigits;
    }
    if (tAt < pEnd && tAt->unicode() == '.') {
        ++tAt;
        while (tAt < pEnd && isDigit(tAt->unicode())) {
            ++tAt;
            ++tDigits;
        }
    }
    if (tDigits == 0)
        return 0;
    if (tAt < pEnd && (tAt->unicode() == 'e' || tAt->unicode() == 'E')) {
        ++tAt;
        if (tAt < pEnd && (tAt->unicode() == '+' || tAt->unicode() == '-'))
            ++tAt;
        const QChar *tExponent = tAt;
        while (tAt < pEnd && isDigit(tAt->unicode()))
            ++tAt;
        if (tAt == tExponent)
            return 0;
    }
    if (tAt != pEnd)
        return 0;

    // Up to seven digits and ten decimals without an exponent: the digits and the power
    // of ten are exact floats, so one division rounds as the full conversion does.
    static const float kPowers[]
        = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f, 1e6f, 1e7f, 1e8f, 1e9f, 1e10f};
    if (tDigits <= 7) {
        std::int32_t tValue = 0;
        int tDecimals = -1;
        bool tPlain = true;
        for (const QChar *tChar = tMantissa; tChar < pEnd; ++tChar) {
            const ushort tCode = tChar->unicode();
            if (tCode == '.') {
                tDecimals = 0;
            } else if (isDigit(tCode)) {
                tValue = tValue * 10 + (tCode - '0');
                if (tDecimals >= 0)
                    ++tDecimals;
            } else {
                tPlain = false; // an exponent
                break;
            }
        }
        if (tPlain && tDecimals <= 10) {
            const float tResult = float(tValue) / kPowers[tDecimals < 0 ? 0 : tDecimals];
            return tNegative ? -tResult : tResult;
        }
    }

    QVarLengthArray<char, 64> tText;
    tText.reserve(int(pEnd - tMantissa) + 1);
    if (tNegative)
        tText.append('-');
    for (const QChar *tChar = tMantissa; tChar < pEnd; ++tChar)
        tText.append(char(tChar->unicode()));
    float tValue = 0;
    const auto tResult = std::from_chars(
        tText.constData(), tText.constData() + tText.size(), tValue, std::chars_format::general);
    if (tResult.ec != std::errc() || !std::isfinite(tValue))
        return 0;
    return tValue;
}

int kvGCode::parseInt(const QChar *pBegin, const QChar *pEnd)
{
    trimRange(pBegin, pEnd);
    const QChar *tAt = pBegin;
    bool tNegative = false;
    if (tAt < pEnd && (tAt->unicode() == '+' || tAt->unicode() == '-')) {
        tNegative = tAt->unicode() == '-';
        ++tAt;
    }
    if (tAt == pEnd)
        return 0;
    const qint64 tLimit = tNegative ? -qint64(std::numeric_limits<int>::min())
                                    : qint64(std::numeric_limits<int>::max());
    qint64 tValue = 0;
    for (; tAt < pEnd; ++tAt) {
        if (!isDigit(tAt->unicode()))
            return 0;
        tValue = tValue * 10 + (tAt->unicode() - '0');
        if (tValue > tLimit)
            return 0;
    }
    return int(tNegative ? -tValue : tValue);
}
