#pragma once

#include "kvFakeFirmware.h"
#include "kvGCode.h"
#include "kvLogger.h"
#include "kvPlatform.h"
#include "kvPrinter.h"
#include "kvPrinterFile.h"
#include "kvTestSupport.h"

#include <QDir>
#include <QQueue>
#include <QSignalSpy>
#include <QStringList>

#include <ctime>
#include <memory>

// A printer link on a simulated firmware, with a clock the test moves by hand.
class kvPrinterTestRig
{
public:
    kvPrinterTestRig() { loadPrinterTypes(); }
    ~kvPrinterTestRig() { delete printer; }

    static void loadPrinterTypes()
    {
        if (kvPrinter::PrinterTypes.isEmpty()) {
            kvPrinter::loadPrinterTypes(
                QStringLiteral(KV_SOURCE_DIR) + QStringLiteral("/resources/kvPrinterSettings.ini"));
        }
    }

    // Opens the firmware and a printer on it; no handshake yet.
    bool open()
    {
        if (!firmware.open()) {
            return false;
        }
        printer = new kvPrinter(firmware.portPath());
        printer->setClock([this] { return m_now; });
        return true;
    }

    // Identifies the printer and waits until the first temperature report is read.
    bool connect(const QString &pMachineType, int pExtruders = 1)
    {
        firmware.setMachineType(pMachineType);
        firmware.setExtruderCount(pExtruders);
        if (!printer && !open()) {
            return false;
        }
        const int tFrom = firmware.lineCount();
        printer->connectToPrinter();
        return firmware.waitFor([&] { return printer->isConnected(); })
            && firmware.waitForLine(QStringLiteral("M105"), 5000, tFrom) && settle();
    }

    // Lets the printer read everything the firmware answered.
    bool settle(int pQuietMs = 60) { return firmware.waitForQuiet(pQuietMs); }

    void advance(qint64 pMilliseconds) { m_now += pMilliseconds; }

    // Whether a status caught by pStatus (a spy on StatusChanged) holds pText.
    static bool statusSaid(const QSignalSpy &pStatus, const QString &pText)
    {
        for (const QList<QVariant> &tSignal : pStatus) {
            if (tSignal.at(1).toString().contains(pText)) {
                return true;
            }
        }
        return false;
    }

    // The print log, in this test's own data folder: every reply the printer reads is
    // logged there as it is read.
    bool startLog()
    {
        QDir().mkpath(Kv::Platform::appDataLocation());
        m_log.reset(new kvLogger);
        m_log->setLogLevel(Kv::Defines::LoggerLevelAll);
        m_log->create();
        printer->setLogger(m_log.get());
        return m_log->isCreated();
    }
    QByteArray log() const
    {
        return KvTest::readFile(
            Kv::Platform::appDataLocation() + QLatin1Char('/') + m_log->fileName());
    }
    // Replies read so far; pText counts only those that begin with it.
    int repliesRead(const QByteArray &pText = QByteArray()) const
    {
        const QByteArray tRead
            = "kvPrinter::onReadData(" + printer->serialPortName().toUtf8() + ")";
        return pText.isEmpty() ? log().count(tRead) : log().count(tRead + ": " + pText);
    }
    // Waits until the printer has read another reply (one that begins with pText).
    bool waitForReply(const QByteArray &pText = QByteArray())
    {
        const int tRead = repliesRead(pText);
        return firmware.waitFor([&] { return repliesRead(pText) > tRead; });
    }

    // What the host sent since pFrom.
    QStringList sentFrom(int pFrom) const { return firmware.linesFrom(pFrom); }

    // A print file of its own (not the printer's) holding pLines.
    kvPrinterFile *makeFile(const QStringList &pLines)
    {
        QQueue<kvGCode> tQueue;
        for (const QString &tLine : pLines) {
            tQueue.enqueue(kvGCode(tLine));
        }
        m_file.reset(new kvPrinterFile());
        m_file->setGcodeQueue(tQueue);
        return m_file.get();
    }

    // Heats (the simulated heaters reach their targets at once) and starts the print
    // of pLines; returns once the stream is running.
    bool startPrint(const QStringList &pLines)
    {
        printer->setPrinterFile(makeFile(pLines));
        printer->print();
        QMetaObject::invokeMethod(printer, "onCheckHeatTimerTick", Q_ARG(bool, true));
        return firmware.waitFor([&] { return printer->isPrinting(); });
    }

    // A print of three moves whose first goes unanswered, as a move whose "ok" was lost;
    // returns once that move is out.
    bool startStalledPrint()
    {
        firmware.setUnansweredPrefix(QStringLiteral("G1 X1"));
        return startPrint({"G1 X1", "G1 X2", "G1 X3"})
            && firmware.waitForLine(QStringLiteral("G1 X1")) && settle();
    }
    // The status of a printer shown as not answering.
    QString notAnswering() const
    {
        return QStringLiteral("The printer on ") + firmware.portPath()
            + QStringLiteral(" does not answer.");
    }

    // Brings a print of pLines into pState: "waiting" (for its heaters), "printing" (the first
    // line sent) or "paused" (by the printer's button, after the first line); any other state
    // starts nothing.
    bool enterPrintState(const QString &pState, const QStringList &pLines)
    {
        if (pState == QLatin1String("waiting")) {
            printer->setPrinterFile(makeFile(pLines));
            printer->print();
            return printer->isWaitingToPrint();
        }
        if (pState != QLatin1String("printing") && pState != QLatin1String("paused"))
            return true;
        if (!startPrint(pLines) || !firmware.waitForLine(pLines.first()))
            return false;
        if (pState == QLatin1String("paused")) {
            firmware.sendButtonCode(kvFakeFirmware::ButtonPause);
            return firmware.waitFor([&] { return printer->isPaused(); });
        }
        return true;
    }

    // Waits for pLine to arrive after pFrom while answering each move ("G1 X") left
    // unanswered as the last line, once, so that the lines queued behind it can go.
    bool waitForLineAnsweringMoves(const QString &pLine, int pFrom, int pTimeoutMs = 5000)
    {
        int tAnswered = -1;
        return firmware.waitFor(
            [&] {
                if (firmware.indexOfLine(pLine, pFrom) >= 0)
                    return true;
                const int tLast = firmware.lineCount() - 1;
                if (tLast > tAnswered && firmware.unanswered() > 0
                    && firmware.line(tLast).startsWith(QLatin1String("G1 X"))) {
                    firmware.sendLine(QStringLiteral("ok"));
                    tAnswered = tLast;
                }
                return false;
            },
            pTimeoutMs);
    }

    // The print ended and its last command (the bed heater off) reached the firmware.
    bool waitForPrintEnd(int pTimeoutMs)
    {
        return firmware.waitFor([&] { return !printer->isPrinting(); }, pTimeoutMs)
            && firmware.waitForLine(QStringLiteral("M140 S0"), 5000);
    }

    static constexpr bool underSanitizer()
    {
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
        return true;
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
        return true;
#endif
        return false;
    }

    static double cpuSeconds()
    {
        timespec tTime {};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &tTime);
        return double(tTime.tv_sec) + double(tTime.tv_nsec) / 1e9;
    }

    kvFakeFirmware firmware;
    kvPrinter *printer = nullptr;

private:
    // Monotonic milliseconds; any start will do.
    qint64 m_now = 1000000;
    std::unique_ptr<kvPrinterFile> m_file;
    std::unique_ptr<kvLogger> m_log;
};
