#include "kvPrinter.h"

#include <QCoreApplication>
#include <QFile>
#include <QTextStream>

#include <cmath>

QVector<kvPrinterSettings *> kvPrinter::PrinterTypes;

namespace {

// A decimal number in the C locale; 0 for anything else, infinities and NaN included.
float readFloat(const QString &pText)
{
    bool tOk = false;
    const float tValue = pText.trimmed().toFloat(&tOk);
    return (tOk && std::isfinite(tValue)) ? tValue : 0.0f;
}

int readInt(const QString &pText)
{
    bool tOk = false;
    const int tValue = pText.trimmed().toInt(&tOk);
    return tOk ? tValue : 0;
}

// The quoted profile name of a line like key="name": drops "=", the opening and the
// closing quote.
QString readProfileName(const QString &pLine, int pEquals)
{
    const int tStart = pEquals + 2;
    const int tLength = pLine.size() - 1 - tStart;
    if (tLength <= 0) {
        return QString();
    }
    return pLine.mid(tStart, tLength).trimmed();
}

} // namespace

void kvPrinter::loadPrinterTypes(const QString &pPath)
{
    const QString tPath = pPath.isEmpty()
        ? QCoreApplication::applicationDirPath() + QStringLiteral("/kvPrinterSettings.ini")
        : pPath;
    QFile tFile(tPath);
    if (!tFile.open(QIODevice::ReadOnly)) {
        return;
    }

    // QTextStream takes "\n" and "\r\n" as line ends.
    QTextStream tStream(&tFile);
    tStream.setCodec("UTF-8");

    // The working bed size carries over from one entry to the next.
    float tX = 0.0f;
    float tY = 0.0f;
    float tZ = 0.0f;
    kvPrinterSettings *tCurrent = nullptr;

    QString tLine;
    while (tStream.readLineInto(&tLine)) {
        if (tLine.startsWith(QLatin1Char('['))) {
            tCurrent = new kvPrinterSettings();
            tCurrent->setFirmwareName(
                tLine.size() >= 2 ? tLine.mid(1, tLine.size() - 2) : QString());
            PrinterTypes.append(tCurrent);
            continue;
        }
        if (!tCurrent) {
            continue;
        }

        const int tEquals = tLine.indexOf(QLatin1Char('='));
        const QString tValue = tLine.mid(tEquals + 1);
        if (tLine.contains(QLatin1String("name"))) {
            tCurrent->setPrinterName(tValue);
        } else if (tLine.contains(QLatin1String("bedX"))) {
            tX = readFloat(tValue);
        } else if (tLine.contains(QLatin1String("bedY"))) {
            tY = readFloat(tValue);
        } else if (tLine.contains(QLatin1String("bedZ"))) {
            tZ = readFloat(tValue);
            tCurrent->setBedSize(kvVector3D(tX, tY, tZ));
        } else if (tLine.contains(QLatin1String("probe"))) {
            tCurrent->setProbe(Kv::Defines::kvPrinterProbe(readInt(tValue)));
        } else if (tLine.contains(QLatin1String("slic3r_printer"))) {
            tCurrent->setSlic3rPrinterSetting(readProfileName(tLine, tEquals));
        } else if (tLine.contains(QLatin1String("slic3r_filament"))) {
            tCurrent->setSlic3rFilamentSetting(readProfileName(tLine, tEquals));
            tCurrent = nullptr;
        }
    }
}

kvPrinterSettings *kvPrinter::getPrinterSettings(const QString &pMachineType)
{
    const QString tType
        = pMachineType == QLatin1String("Mendel") ? QStringLiteral("Repetier_0.83") : pMachineType;
    for (kvPrinterSettings *tEntry : qAsConst(PrinterTypes)) {
        if (tEntry->firmwareName() == tType) {
            return tEntry;
        }
    }
    return nullptr;
}

void kvPrinter::clearPrinterTypes()
{
    while (!PrinterTypes.isEmpty()) {
        delete PrinterTypes.takeLast();
    }
}
