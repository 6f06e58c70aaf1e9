// Lines per second through the simulated firmware, host on a plain serial port,
// one line in flight as a streaming host keeps it.
#include "benchSupport.h"
#include "kvFakeFirmware.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QSerialPort>
#include <QTimer>

namespace {

double streamLines(kvFakeFirmware &pFirmware, const QByteArrayList &pLines, int *pAnswered)
{
    QSerialPort tPort;
    tPort.setPortName(pFirmware.portPath());
    tPort.setBaudRate(QSerialPort::Baud115200);
    if (!tPort.open(QIODevice::ReadWrite)) {
        std::printf("cannot open %s\n", qPrintable(pFirmware.portPath()));
        return 0.0;
    }
    pFirmware.waitFor([&]() { return pFirmware.isHostAttached(); });

    QEventLoop tLoop;
    QByteArray tPartial;
    int tNext = 0;
    int tAnswered = 0;
    auto tSendNext = [&]() {
        if (tNext < pLines.size())
            tPort.write(pLines.at(tNext++));
        else
            tLoop.quit();
    };
    QObject::connect(&tPort, &QSerialPort::readyRead, [&]() {
        tPartial += tPort.readAll();
        int tStart = 0;
        for (int tEnd; (tEnd = tPartial.indexOf('\n', tStart)) >= 0; tStart = tEnd + 1) {
            if (tPartial.mid(tStart, 2) == "ok") {
                ++tAnswered;
                tSendNext();
            }
        }
        tPartial.remove(0, tStart);
    });
    QTimer::singleShot(120000, &tLoop, &QEventLoop::quit);

    QElapsedTimer tClock;
    tClock.start();
    tSendNext();
    tLoop.exec();
    *pAnswered = tAnswered;
    return tClock.nsecsElapsed() / 1e9;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication tApp(argc, argv);
    const int tCount = 100000;
    QByteArrayList tLines;
    tLines.reserve(tCount);
    for (int i = 0; i < tCount; ++i)
        tLines.append("G1 X" + QByteArray::number(i % 200) + "." + QByteArray::number(i % 10) + " Y"
            + QByteArray::number((i * 7) % 200) + " E" + QByteArray::number(i * 0.01, 'f', 5)
            + " F1800\n");

    const char *tNames[]
        = {"fake firmware, fast ok: 100000 lines", "fake firmware, parsed: 100000 lines"};
    for (int tMode = 0; tMode < 2; ++tMode) {
        kvFakeFirmware tFirmware;
        tFirmware.setFastOk(tMode == 0);
        if (!tFirmware.open())
            return 1;
        int tAnswered = 0;
        const double tSeconds = streamLines(tFirmware, tLines, &tAnswered);
        if (tAnswered != tCount || tFirmware.lineCount() != tCount) {
            std::printf("lost lines: %d answered, %d received\n", tAnswered, tFirmware.lineCount());
            return 1;
        }
        KvBench::report(tNames[tMode], tSeconds, tCount, "lines");
    }
    return 0;
}
