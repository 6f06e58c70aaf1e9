#pragma once

// Helpers the print file's sources share: time stamps of the status texts, the layout of a
// binary STL file, and the byte searches of the STL readers.

#include "kvVector3D.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QIODevice>
#include <QString>
#include <QtEndian>

#include <cstring>

namespace Kv {
namespace PrinterFile {

// Layout of a binary STL file: an 80-byte header and a facet count, then 50 bytes a facet.
inline constexpr qint64 kHeaderSize = 84;
inline constexpr qint64 kFacetSize = 50;

inline QString timeStamp(const QDateTime &pTime)
{
    return pTime.toString(QStringLiteral("MM-dd-yyyy hh:mm:ss:zzz"));
}

// The start of a load: its time of day for the status texts, and a monotonic timer for its
// length, which a change of the computer's clock leaves alone.
class kvLoadClock
{
public:
    kvLoadClock()
        : m_started(QDateTime::currentDateTime())
    {
        m_timer.start();
    }
    QDateTime started() const { return m_started; }
    qint64 elapsedSeconds() const { return m_timer.elapsed() / 1000; }

private:
    QDateTime m_started;
    QElapsedTimer m_timer;
};

inline bool isBlankByte(char pChar)
{
    return pChar == ' ' || pChar == '\t' || pChar == '\n' || pChar == '\r' || pChar == '\v'
        || pChar == '\f';
}

// Next position at or after a start where one byte occurs; remembers its last answer.
class ByteFinder
{
public:
    ByteFinder(const char *pText, qint64 pSize, char pByte)
        : m_text(pText)
        , m_size(pSize)
        , m_byte(pByte)
    { }

    qint64 find(qint64 pFrom)
    {
        if (m_lastFrom >= 0 && pFrom >= m_lastFrom && (m_lastHit < 0 || pFrom <= m_lastHit))
            return m_lastHit;
        m_lastFrom = pFrom;
        m_lastHit = -1;
        if (pFrom < m_size) {
            const void *tHit = std::memchr(m_text + pFrom, m_byte, size_t(m_size - pFrom));
            if (tHit)
                m_lastHit = static_cast<const char *>(tHit) - m_text;
        }
        return m_lastHit;
    }

private:
    const char *m_text;
    qint64 m_size;
    char m_byte;
    qint64 m_lastFrom = -1;
    qint64 m_lastHit = -1;
};

// Forward search of an upper-case keyword in any letter case over the whole text;
// remembers its last answer so that repeated searches from nearby positions do not
// scan the same text again.
class KeywordFinder
{
public:
    KeywordFinder(const char *pText, qint64 pSize, const char *pKeyword)
        : m_text(pText)
        , m_size(pSize)
        , m_keyword(pKeyword)
        , m_length(qstrlen(pKeyword))
        , m_upper(pText, pSize, pKeyword[0])
        , m_lower(pText, pSize, char(pKeyword[0] | 0x20))
    { }

    qint64 find(qint64 pFrom)
    {
        if (pFrom < 0)
            pFrom = 0;
        if (m_lastFrom >= 0 && pFrom >= m_lastFrom && (m_lastHit < 0 || pFrom <= m_lastHit))
            return m_lastHit;
        m_lastFrom = pFrom;
        m_lastHit = -1;
        qint64 tPos = pFrom;
        while (tPos + m_length <= m_size) {
            const qint64 tUpper = m_upper.find(tPos);
            const qint64 tLower = m_lower.find(tPos);
            const qint64 tHit = tUpper < 0 ? tLower
                : tLower < 0               ? tUpper
                                           : std::min(tUpper, tLower);
            if (tHit < 0 || tHit + m_length > m_size)
                break;
            if (matches(tHit)) {
                m_lastHit = tHit;
                break;
            }
            tPos = tHit + 1;
        }
        return m_lastHit;
    }

private:
    bool matches(qint64 pAt) const
    {
        for (qint64 i = 1; i < m_length; ++i) {
            const char tKey = m_keyword[i];
            const char tChar = m_text[pAt + i];
            if (tKey == ' ' ? tChar != ' ' : (tChar | 0x20) != (tKey | 0x20))
                return false;
        }
        return true;
    }

    const char *m_text;
    qint64 m_size;
    const char *m_keyword;
    qint64 m_length;
    ByteFinder m_upper;
    ByteFinder m_lower;
    qint64 m_lastFrom = -1;
    qint64 m_lastHit = -1;
};

inline constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";

inline bool startsWithByteOrderMark(const char *pData, qint64 pSize)
{
    return pSize >= 3 && std::memcmp(pData, kByteOrderMark, 3) == 0;
}

inline bool startsWithNoCase(const char *pData, qint64 pSize, const char *pWord)
{
    const qint64 tLength = qstrlen(pWord);
    if (pSize < tLength)
        return false;
    for (qint64 i = 0; i < tLength; ++i) {
        if ((pData[i] | 0x20) != (pWord[i] | 0x20))
            return false;
    }
    return true;
}

// Text in UTF-16, either byte order, with or without its byte order mark, that begins with
// pWord (an ASCII word, compared in any letter case) after blanks: ASCII text saved by an
// editor as "Unicode".
inline bool startsAsUtf16Text(const char *pData, qint64 pSize, const char *pWord)
{
    qint64 tStart = 0;
    if (pSize >= 2
        && ((uchar(pData[0]) == 0xFF && uchar(pData[1]) == 0xFE)
            || (uchar(pData[0]) == 0xFE && uchar(pData[1]) == 0xFF)))
        tStart = 2;
    for (int tLittle = 0; tLittle < 2; ++tLittle) {
        // The ASCII text in the low bytes, as long as the high ones are 0.
        QByteArray tText;
        for (qint64 i = tStart; i + 1 < pSize && tText.size() < 256; i += 2) {
            const char tLow = pData[i + (tLittle ? 0 : 1)];
            const char tHigh = pData[i + (tLittle ? 1 : 0)];
            if (tHigh != 0 || tLow <= 0)
                break;
            tText.append(tLow);
        }
        const char *tAt = tText.constData();
        qint64 tLength = tText.size();
        while (tLength > 0 && isBlankByte(*tAt)) {
            ++tAt;
            --tLength;
        }
        if (startsWithNoCase(tAt, tLength, pWord))
            return true;
    }
    return false;
}

inline QString droppedFacets(const QString &pReader, qint64 pCount)
{
    return QStringLiteral("%1: %2 facets with coordinates that are not finite numbers dropped.")
        .arg(pReader)
        .arg(pCount);
}

// Triangle count at offset 80, or false when the device does not hold it.
// The reasons a load is refused for its size, as the main window's status line gives them
// after "Cannot load <path>: ".
inline QString tooLargeReason(const QString &pSize)
{
    return QStringLiteral("it is too large: ") + pSize;
}
inline QString noMemoryReason()
{
    return QStringLiteral("there is not enough memory to load it");
}

inline bool readFacetCount(QIODevice *pDevice, qint32 &pCount)
{
    char tBytes[4];
    if (!pDevice->isOpen() || !pDevice->seek(80) || pDevice->read(tBytes, 4) != 4)
        return false;
    quint32 tCount;
    std::memcpy(&tCount, tBytes, sizeof(tCount));
    pCount = qint32(qFromLittleEndian(tCount));
    return true;
}

} // namespace PrinterFile
} // namespace Kv
