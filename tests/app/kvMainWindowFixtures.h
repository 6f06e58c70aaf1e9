#pragma once

// The main window on simulated printers: a bench of firmwares on pseudo-terminals that
// discovery finds as USB serial ports, and the clicks and waits the window tests share.
#include "kvFakeFirmware.h"
#include "kvGLWindow.h"
#include "kvMainWindow.h"
#include "kvPrinter.h"
#include "kvTestSupport.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QSaveFile>
#include <QSet>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <functional>
#include <memory>
#include <vector>

namespace KvTest {

// Simulated printers on ports whose names look like USB CDC devices.
class kvPortBench
{
public:
    explicit kvPortBench(const QStringList &pMachineTypes)
    {
        for (const QString &tType : pMachineTypes)
            add(tType);
        kvMainWindow::setPortProvider([this] {
            QVector<kvMainWindow::PortInfo> tPorts;
            for (int i = 0; i < links.size(); ++i)
                if (!unplugged.contains(i))
                    tPorts.append({links[i], links[i], false});
            tPorts += extra;
            return tPorts;
        });
    }
    ~kvPortBench() { kvMainWindow::setPortProvider(nullptr); }

    // A printer on a port named pName, or "ttyACM" and its index.
    kvFakeFirmware *add(const QString &pMachineType, const QString &pName = QString())
    {
        auto *tFirmware = new kvFakeFirmware;
        firmwares.emplace_back(tFirmware);
        if (!tFirmware->open())
            qFatal("no pty");
        tFirmware->setMachineType(pMachineType);
        const QString tLink = m_dir.filePath(
            pName.isEmpty() ? QStringLiteral("ttyACM") + QString::number(links.size()) : pName);
        QFile::link(tFirmware->portPath(), tLink);
        links.append(tLink);
        return tFirmware;
    }
    // The device goes away: its port is no longer listed and the line hangs up.
    void unplug(int pIndex)
    {
        unplugged.insert(pIndex);
        firmwares[pIndex]->hangUp();
    }
    // The same printer comes back on the same port name.
    void replug(int pIndex)
    {
        if (!firmwares[pIndex]->open())
            qFatal("no pty");
        QFile::remove(links[pIndex]);
        QFile::link(firmwares[pIndex]->portPath(), links[pIndex]);
        unplugged.remove(pIndex);
    }
    int indexOfPath(const QString &pPath) const { return links.indexOf(pPath); }
    bool sentFromContains(int pIndex, int pFrom, const QString &pStart) const
    {
        const QStringList tLines = firmwares[pIndex]->linesFrom(pFrom);
        for (const QString &tLine : tLines)
            if (tLine.startsWith(pStart))
                return true;
        return false;
    }
    int countOf(int pIndex, const QString &pLine) const
    {
        return firmwares[pIndex]->lines().count(pLine);
    }

    std::vector<std::unique_ptr<kvFakeFirmware>> firmwares;
    QStringList links;
    QSet<int> unplugged;
    QVector<kvMainWindow::PortInfo> extra;

private:
    QTemporaryDir m_dir;
};

inline QComboBox *printerBox(kvMainWindow &pWindow)
{
    return pWindow.findChild<QComboBox *>(QStringLiteral("printerSelectionComboBox"));
}

// Spins the event loop until pDone holds; the time-out only bounds a failure.
inline bool waitFor(const std::function<bool()> &pDone, int pTimeoutMs = 20000)
{
    QElapsedTimer tTimer;
    tTimer.start();
    while (!pDone()) {
        if (tTimer.elapsed() > pTimeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return true;
}

// Shortens the handshake time-out of the printer that probes the port at pPath and waits
// until it has timed out.
inline bool probeTimesOut(kvMainWindow &pWindow, const QString &pPath, int pTimeoutMs = 20000)
{
    kvPrinter *tPrinter = nullptr;
    if (!waitFor(
            [&] {
                for (kvPrinter *tProbe : pWindow.printers())
                    if (tProbe->serialPortPath() == pPath)
                        tPrinter = tProbe;
                return tPrinter != nullptr;
            },
            pTimeoutMs))
        return false;
    QSignalSpy tTimeOut(tPrinter, &kvPrinter::ConnectionTimeOut);
    tPrinter->setConnectTimeOutInterval(200);
    return tTimeOut.wait(pTimeoutMs);
}

// Lets the window pick the chosen printer from the box as a user would.
inline void choose(kvMainWindow &pWindow, int pIndex)
{
    QComboBox *tBox = printerBox(pWindow);
    tBox->setCurrentIndex(pIndex);
    emit tBox->textActivated(tBox->currentText());
}

// Shows the window with its 3D view left undrawn: these tests are about the controls, and
// the software GL's code generator deadlocks under the sanitizers' full unwind.
inline void showControls(kvMainWindow &pWindow)
{
    pWindow.glWindow()->hide();
    pWindow.show();
}

// Selects item pIndex of a combo box with the arrow keys, as a user does.
inline void pick(QComboBox *pBox, int pIndex)
{
    for (int i = 0; i < 20 && pBox->currentIndex() != pIndex; ++i)
        QTest::keyClick(pBox, pBox->currentIndex() < pIndex ? Qt::Key_Down : Qt::Key_Up);
}

template <typename T> inline T *child(kvMainWindow &pWindow, const char *pName)
{
    T *tChild = pWindow.findChild<T *>(QString::fromLatin1(pName));
    if (!tChild)
        qFatal("no child %s", pName);
    return tChild;
}

inline void click(kvMainWindow &pWindow, const char *pName)
{
    QTest::mouseClick(child<QWidget>(pWindow, pName), Qt::LeftButton);
}

inline QString printTip(kvMainWindow &pWindow)
{
    return child<QWidget>(pWindow, "pbPrint")->toolTip();
}

// The queue counter of the status line is shown.
inline bool counterShown(kvMainWindow &pWindow)
{
    const auto tLabels = pWindow.findChildren<QLabel *>();
    for (QLabel *tLabel : tLabels)
        if (tLabel->isVisible() && tLabel->text().startsWith(QStringLiteral("GCode: ")))
            return true;
    return false;
}

// A G-code file of pMoves moves, enough to keep a print running.
inline QString writeGCode(const QTemporaryDir &pDir, int pMoves)
{
    QByteArray tText("G21\nG90\nM104 S210\nM140 S60\nM109 S210\nM190 S60\n");
    for (int i = 0; i < pMoves; ++i)
        tText += QByteArray("G1 X") + QByteArray::number(10 + i % 50) + " Y10 E"
            + QByteArray::number(i) + "\n";
    return KvTest::writeFile(pDir, QStringLiteral("long.gcode"), tText);
}

// A stand-in slicer program running pBody.
inline QString fakeSlicer(const QTemporaryDir &pDir, const QByteArray &pBody)
{
    return KvTest::writeProgram(pDir, QStringLiteral("slic3r"), pBody);
}

// Once the heater lines of a print have gone out, lets the printer check its heaters
// once (the simulated heaters reach their targets as the lines arrive): the report starts
// the stream. True once it streams.
inline bool waitForPrinting(kvPrinter *pPrinter, int pTimeoutMs = 20000)
{
    if (pPrinter->isPrinting())
        return true;
    // A short print may be over again by the time the loop looks.
    QSignalSpy tBegun(pPrinter, &kvPrinter::PrintProcessBegin);
    if (!waitFor([&] { return pPrinter->queuedLines() == 0; }, pTimeoutMs))
        return false;
    QMetaObject::invokeMethod(pPrinter, "onCheckHeatTimerTick", Q_ARG(bool, true));
    return waitFor([&] { return !tBegun.isEmpty(); }, pTimeoutMs);
}

// Every line the printer has to send has reached its firmware: a sentinel "M400" sent
// behind them has arrived.
inline bool drain(kvPrinter *pPrinter, kvFakeFirmware *pFirmware, int pTimeoutMs = 20000)
{
    const int tFrom = pFirmware->lineCount();
    pPrinter->sendCommandToPrinter(QStringLiteral("M400"));
    return pFirmware->waitForLine(QStringLiteral("M400"), pTimeoutMs, tFrom);
}

// Shows the window and chooses the printer of item pItem with the keyboard; true once it is
// connected.
inline bool showAndChoose(kvMainWindow &pWindow, int pItem = 1, int pTimeoutMs = 20000)
{
    showControls(pWindow);
    if (!waitFor([&] { return printerBox(pWindow)->count() > pItem; }, pTimeoutMs))
        return false;
    if (!pWindow.currentPrinter())
        pick(printerBox(pWindow), pItem);
    return waitFor(
        [&] { return pWindow.currentPrinter() && pWindow.currentPrinter()->isConnected(); },
        pTimeoutMs);
}

// Shows the window, chooses the printer of item pItem with the keyboard, loads pFile and
// clicks Print; true once the print streams.
inline bool startPrint(kvMainWindow &pWindow, const QString &pFile, int pItem = 1)
{
    if (!showAndChoose(pWindow, pItem))
        return false;
    pWindow.loadModel(pFile);
    click(pWindow, "pbPrint");
    return waitForPrinting(pWindow.currentPrinter());
}

// The window reads the printer types table beside the executable; this one is the
// source's. Window tests run side by side from one folder: the table is replaced in one
// step and only when it differs, so no window ever finds it missing. True once it is there.
inline bool useSourcePrinterTypes()
{
    kvPrinter::clearPrinterTypes();
    const QString tTable
        = QCoreApplication::applicationDirPath() + QStringLiteral("/kvPrinterSettings.ini");
    const QByteArray tSource
        = KvTest::readFile(QStringLiteral(KV_SOURCE_DIR "/resources/kvPrinterSettings.ini"));
    if (tSource.isEmpty())
        return false;
    if (KvTest::readFile(tTable) == tSource)
        return true;
    QSaveFile tFile(tTable);
    return tFile.open(QIODevice::WriteOnly) && tFile.write(tSource) == tSource.size()
        && tFile.commit();
}

} // namespace KvTest
