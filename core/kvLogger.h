#pragma once

#include "kvDefines.h"

#include <QFile>
#include <QObject>
#include <QString>
#include <QTextStream>

// The optional print log: a time-stamped text file in the application's data
// folder. Nothing is written before create(); every line is on disk when log() returns.
// A line that cannot be written (a full disk) is lost, and said once: WriteFailed at the
// first such line, WriteResumed once a line is written again.
class kvLogger : public QObject
{
    Q_OBJECT
public:
    explicit kvLogger(QObject *pParent = nullptr);

    void setLogLevel(Kv::Defines::kvLoggerLevel pLevel);
    Kv::Defines::kvLoggerLevel logLevel() const;

    // Opens a new log file and writes its header; on failure shows "Could not open: ".
    void create();
    bool isCreated() const;
    // Created, and its last line was written.
    bool isWriting() const { return m_created && !m_failing; }

    // Appends one time-stamped line; dropped silently when the file cannot be opened.
    void log(const QString &pMessage);

    // The bare file name; the file's path is not changed.
    void setFileName(const QString &pFileName);
    QString fileName() const;

    bool open();
    void close();

signals:
    void WriteFailed(QString pPath, QString pReason);
    void WriteResumed();

private:
    void writeFailed(const QString &pReason);

    // The time stamp of a line, "MM.dd.yyyy hh.mm.ss.zzz" in local time.
    QString lineTime();

    bool m_created = false;
    bool m_failing = false;
    QString m_fileName;
    QFile m_file;
    QTextStream m_stream;
    Kv::Defines::kvLoggerLevel m_logLevel = Kv::Defines::LoggerLevelOff;
    qint64 m_stampSecond = 0;
    QString m_stampPrefix;
};
