#include "kvLogger.h"

#include "kvDialogs.h"
#include "kvGlobal.h"
#include "kvPlatform.h"

#include <QDateTime>
#include <QDir>

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

    m_created = true;
    m_stream.setDevice(&m_file);
    m_stream << headerRule() << '\n'
             << "# Kestrova (" << Kv::Global::VersionNumber << ") Print Log File   #\n"
             << "# Created: " << tNow.toString(QStringLiteral("MM-dd-yyyy hh:mm:ss.zzz"))
             << "   #\n"
             << headerRule() << '\n';
    m_stream.flush();
    m_file.close();
}

bool kvLogger::isCreated() const
{
    return m_created;
}

void kvLogger::log(const QString &pMessage)
{
    if (m_logLevel == Kv::Defines::LoggerLevelOff || !m_created || m_fileName.isEmpty())
        return;
    // The file stays open between lines: reopening it for each line would limit a
    // logged print to a few thousand lines a second. Each line is flushed.
    if (!m_file.isOpen() && !m_file.open(QIODevice::ReadWrite))
        return;
    m_file.seek(m_file.size());
    m_stream.setDevice(&m_file);
    m_stream << '['
             << QDateTime::currentDateTime().toString(QStringLiteral("MM.dd.yyyy hh.mm.ss.zzz"))
             << "] " << pMessage << '\n';
    m_stream.flush();
    // A failed write (a full disk) closes the file; the next line opens it by name again.
    if (m_stream.status() != QTextStream::Ok || m_file.error() != QFileDevice::NoError) {
        m_stream.resetStatus();
        m_file.close();
        m_file.unsetError();
    }
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
