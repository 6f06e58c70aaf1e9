#pragma once

#include <QBuffer>

#include <algorithm>

namespace KvTest {

// A device whose reads fail past pFailAt, as a file on a disk that went away.
class FailingDevice : public QBuffer
{
public:
    FailingDevice(const QByteArray &pData, qint64 pFailAt)
        : m_failAt(pFailAt)
    {
        setData(pData);
    }

protected:
    qint64 readData(char *pData, qint64 pMax) override
    {
        if (pos() >= m_failAt) {
            setErrorString(QStringLiteral("Input/output error"));
            return -1;
        }
        return QBuffer::readData(pData, std::min(pMax, m_failAt - pos()));
    }

private:
    qint64 m_failAt;
};

} // namespace KvTest
