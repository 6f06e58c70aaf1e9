#include "kvLogger.h"

#include "kvDialogs.h"
#include "kvGlobal.h"
#include "kvPlatform.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

namespace {

QString headerRule()
{
    return QString(38, QLatin1Char('#'));
}

} // namespace

kvLogger::kvLogger(QObject *pParent)
    : QObject(pParent)
{ }

void kvLogger::setLogLevel(Kv::Defines::kvLoggerLevel pLevel)
{
    m_logLevel = pLevel;
}

Kv::Defines::kvLoggerLevel kvLogger::logLevel() const
{
    return m_logLevel;
}

void kvLogger::create()
{
    if (m_logLevel == Kv::Defines::LoggerLevelOff)
        return;

    const QDateTime tNow = QDateTime::currentDateTime();
    m_fileName = QStringLiteral("Kestrova_log[")
        + tNow.toString(QStringLiteral("MM.dd.yyyy_hh.mm.ss.zzz")) + QStringLiteral("].txt");

    const QString tFolder = Kv::Platform::appDataLocation();
    const QString tPath = QDir(tFolder + QDir::separator() + m_fileName).absolutePath();
    close();
    m_file.setFileName(tPath);

    // No data location would put the log at the file system's root.
    if (tFolder.isEmpty() || !m_file.open(QIODevice::ReadWrite)) {
        m_created = false;
        kvDialogs::message(QStringLiteral("Logger"), QStringLiteral("Could not open: ") + tPath);
        return;
    }

    if (m_stream.device() != &m_file)
        m_stream.setDevice(&m_file);
    m_stream << headerRule() << '\n'
             << "# Kestrova (" << Kv::Global::VersionNumber << ") Print Log File   #\n"
             << "# Created: " << tNow.toString(QStringLiteral("MM-dd-yyyy hh:mm:ss.zzz"))
             << "   #\n"
             << headerRule() << '\n';
    m_stream.flush();
    // A full disk takes the file but not its header: no log to tick.
    const bool tWritten
        = m_stream.status() == QTextStream::Ok && m_file.error() == QFileDevice::NoError;
    const QString tReason = m_file.errorString();
    m_stream.resetStatus();
    m_file.close();
    m_file.unsetError();
    m_created = tWritten;
    m_failing = false;
    if (!tWritten) {
        QFile::remove(tPath);
        kvDialogs::message(QStringLiteral("Logger"),
            QStringLiteral("Could not write: ") + tPath + QStringLiteral(" (") + tReason
                + QStringLiteral(")"));
    }
}

bool kvLogger::isCreated() const
{
    return m_created;
}

void kvLogger::log(const QString &pMessage)
{
    if (m_logLevel == Kv::Defines::LoggerLevelOff || !m_created || m_fileName.isEmpty())
        return;
    // The file stays open between lines, attached to the stream once; each line is
    // flushed. A file deleted meanwhile is made again under its name.
    if (m_file.isOpen() && Kv::Platform::isFileRemoved(m_file))
        m_file.close();
    if (!m_file.isOpen()) {
        if (!m_file.open(QIODevice::ReadWrite)) {
            const QString tReason = m_file.errorString();
            m_file.unsetError();
            writeFailed(tReason);
            return;
        }
        m_file.seek(m_file.size());
    }
    const qint64 tEnd = m_file.pos();
    m_stream << '[' << lineTime() << "] " << pMessage << '\n';
    m_stream.flush();
    // A failed write (a full disk) closes the file; the next line opens it by name again.
    if (m_stream.status() != QTextStream::Ok || m_file.error() != QFileDevice::NoError) {
        const QString tReason = m_file.errorString();
        m_stream.resetStatus();
        m_file.close();
        m_file.unsetError();
        // The part of the line that reached the disk goes: the next line starts a line.
        const QFileInfo tWritten(m_file.fileName());
        if (tEnd > 0 && tWritten.isFile() && tWritten.size() > tEnd)
            QFile::resize(m_file.fileName(), tEnd);
        writeFailed(tReason);
        return;
    }
    if (m_failing) {
        m_failing = false;
        emit WriteResumed();
    }
}

void kvLogger::writeFailed(const QString &pReason)
{
    if (m_failing)
        return;
    m_failing = true;
    emit WriteFailed(m_file.fileName(), pReason);
}

QString kvLogger::lineTime()
{
    // The local time is worked out once a second; time zone changes fall on whole seconds.
    const qint64 tNow = QDateTime::currentMSecsSinceEpoch();
    const qint64 tMilliseconds = ((tNow % 1000) + 1000) % 1000;
    const qint64 tSecond = tNow - tMilliseconds;
    if (tSecond != m_stampSecond || m_stampPrefix.isEmpty()) {
        m_stampSecond = tSecond;
        m_stampPrefix = QDateTime::fromMSecsSinceEpoch(tSecond).toString(
            QStringLiteral("MM.dd.yyyy hh.mm.ss."));
    }
    QString tText = m_stampPrefix;
    tText.append(QLatin1Char(char('0' + tMilliseconds / 100)));
    tText.append(QLatin1Char(char('0' + tMilliseconds / 10 % 10)));
    tText.append(QLatin1Char(char('0' + tMilliseconds % 10)));
    return tText;
}

void kvLogger::setFileName(const QString &pFileName)
{
    m_fileName = pFileName;
}

QString kvLogger::fileName() const
{
    return m_fileName;
}

bool kvLogger::open()
{
    return m_file.open(QIODevice::ReadWrite);
}

void kvLogger::close()
{
    if (m_file.isOpen()) {
        m_stream.flush();
        m_file.close();
    }
}
