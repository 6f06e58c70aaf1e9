#pragma once

#include <QIODevice>

#include <algorithm>
#include <cstring>

namespace KvTest {

// A read-only device of any size that needs no memory and no disk: a head, a long run
// of one byte, and a tail.
class LargeDevice : public QIODevice
{
public:
    LargeDevice(const QByteArray &pHead, qint64 pFill, char pFillByte, const QByteArray &pTail)
        : m_head(pHead)
        , m_tail(pTail)
        , m_fill(pFill)
        , m_fillByte(pFillByte)
    { }

    bool isSequential() const override { return false; }
    qint64 size() const override { return m_head.size() + m_fill + m_tail.size(); }
    bool seek(qint64 pPos) override
    {
        QIODevice::seek(pPos);
        m_offset = pPos;
        return true;
    }

protected:
    qint64 readData(char *pData, qint64 pMax) override
    {
        qint64 tDone = 0;
        while (tDone < pMax && m_offset < size()) {
            const qint64 tFillStart = m_head.size();
            const qint64 tTailStart = tFillStart + m_fill;
            qint64 tCount = 0;
            if (m_offset < tFillStart) {
                tCount = std::min(pMax - tDone, tFillStart - m_offset);
                std::memcpy(pData + tDone, m_head.constData() + m_offset, size_t(tCount));
            } else if (m_offset < tTailStart) {
                tCount = std::min(pMax - tDone, tTailStart - m_offset);
                std::memset(pData + tDone, m_fillByte, size_t(tCount));
            } else {
                tCount = std::min(pMax - tDone, size() - m_offset);
                std::memcpy(
                    pData + tDone, m_tail.constData() + (m_offset - tTailStart), size_t(tCount));
            }
            tDone += tCount;
            m_offset += tCount;
        }
        return tDone;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    QByteArray m_head;
    QByteArray m_tail;
    qint64 m_fill;
    char m_fillByte;
    qint64 m_offset = 0;
};

} // namespace KvTest
