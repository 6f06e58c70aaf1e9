#include "kvSlic3rConfig.h"

#include "kvLogging.h"
#include "kvPaths.h"
#include "kvSlic3rSetting.h"

#include <QDir>
#include <QFile>
#include <QTextStream>

QVector<QString> kvSlic3rConfig::PrintInis;
QVector<QString> kvSlic3rConfig::FilamentInis;
QVector<QString> kvSlic3rConfig::PrinterInis;

kvSlic3rConfig::kvSlic3rConfig(QObject *pParent)
    : QObject(pParent)
{
    Kv::loadSlic3rSettings(PrintInis, FilamentInis, PrinterInis);
    setPrintIni(QStringLiteral("Halvarn Low.ini"));
    setFilamentIni(QStringLiteral("Halvarn 1.75mm.ini"));
    setPrinterIni(QStringLiteral("Halvarn 6x6.ini"));
}

void kvSlic3rConfig::setPath(QString pPath)
{
    m_path = QDir::toNativeSeparators(pPath);
    emit ConfigChanged();
}

void kvSlic3rConfig::setInput(QString pInput)
{
    m_input = pInput;
    emit ConfigChanged();
}

void kvSlic3rConfig::setOutput(QString pOutput)
{
    m_output = pOutput;
    emit ConfigChanged();
}

void kvSlic3rConfig::setPrintIni(QString pPrintIni)
{
    m_printIni = pPrintIni;
    emit ConfigChanged();
}

void kvSlic3rConfig::setFilamentIni(QString pFilamentIni)
{
    m_filamentIni = pFilamentIni;
    emit ConfigChanged();
}

void kvSlic3rConfig::setPrinterIni(QString pPrinterIni)
{
    m_printerIni = pPrinterIni;
    emit ConfigChanged();
}

void kvSlic3rConfig::setPrintCenter(kvVector3D pPrintCenter)
{
    m_printCenter = pPrintCenter;
    emit ConfigChanged();
}

void kvSlic3rConfig::selectQuality(QString pQuality)
{
    for (const QString &tEntry : qAsConst(PrintInis)) {
        const int tAt = tEntry.indexOf(pQuality);
        if (tAt > 0 && tEntry.indexOf(QLatin1String(".ini")) == tAt + pQuality.length()) {
            setPrintIni(tEntry);
            return;
        }
    }
}

void kvSlic3rConfig::selectPrinter(QString pName)
{
    setPrinterIni(findIni(PrinterInis, pName));
}

void kvSlic3rConfig::selectFilament(QString pName)
{
    setFilamentIni(findIni(FilamentInis, pName));
}

QString kvSlic3rConfig::findIni(QVector<QString> &pList, QString pName)
{
    const QString tName = pName.trimmed();
    if (pList.isEmpty() || pName.isEmpty())
        return QString();
    for (const QString &tEntry : qAsConst(pList)) {
        if (tEntry == tName)
            return tEntry;
    }
    return QString();
}

QString kvSlic3rConfig::toSlic3rString()
{
    const QString tMergedPath = mergedFilePath();
    // The application's data folder may not exist yet on a fresh account.
    QDir().mkpath(QFileInfo(tMergedPath).absolutePath());
    QFile tMerged(tMergedPath);
    if (!tMerged.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        qCDebug(lcPrintFile) << "toSlic3rString:: not open!";
        return QString();
    }
    QTextStream tOut(&tMerged);
    tOut.setCodec("UTF-8");

    const QString tSep = QDir::separator();
    const QString tProfiles[]
        = {Kv::Paths::Slic3rAppData + QStringLiteral("print") + tSep + m_printIni,
            Kv::Paths::Slic3rAppData + QStringLiteral("filament") + tSep + m_filamentIni,
            Kv::Paths::Slic3rAppData + QStringLiteral("printer") + tSep + m_printerIni};
    const QString tCenter = QStringLiteral("print_center = ") + printCenterText();

    for (const QString &tPath : tProfiles) {
        QFile tProfile(tPath);
        // An empty name names the kind folder itself, which is no profile.
        if (QFileInfo(tPath).isDir() || !tProfile.open(QIODevice::ReadOnly | QIODevice::Text)) {
            qCDebug(lcPrintFile).noquote() << "failed to open: " + tPath;
            return QString();
        }
        QTextStream tIn(&tProfile);
        tIn.setCodec("UTF-8");
        QString tLine;
        while (tIn.readLineInto(&tLine)) {
            if (tLine.startsWith(QLatin1Char('#')))
                continue;
            if (tLine.contains(QLatin1String("print_center")))
                tOut << tCenter << '\n';
            else
                tOut << tLine << '\n';
        }
    }
    tOut.flush();
    tMerged.close();

    const auto tQuoted = [](const QString &pText) {
        return QLatin1Char('"') + QDir::toNativeSeparators(pText) + QLatin1Char('"');
    };
    const QString tCommand = tQuoted(m_path) + QLatin1Char(' ') + QStringLiteral("--load ")
        + tQuoted(tMergedPath) + QLatin1Char(' ') + QStringLiteral("-o ") + tQuoted(m_output)
        + QLatin1Char(' ') + tQuoted(m_input) + QLatin1Char(' ');
    return tCommand.trimmed();
}

QStringList kvSlic3rConfig::toSlic3rArguments() const
{
    // Slic3r 1.3 ignores print_center in a loaded profile; the option is obeyed.
    return {QStringLiteral("--load"), QDir::toNativeSeparators(mergedFilePath()),
        QStringLiteral("-o"), QDir::toNativeSeparators(m_output), QStringLiteral("--print-center"),
        printCenterText(), QDir::toNativeSeparators(m_input)};
}

QString kvSlic3rConfig::mergedFilePath()
{
    return Kv::Paths::KestrovaAppData + QStringLiteral("Kestrova.ini");
}

QString kvSlic3rConfig::printCenterText() const
{
    return QString::number(double(m_printCenter.x()), 'g', 6) + QLatin1Char(',')
        + QString::number(double(m_printCenter.y()), 'g', 6);
}
