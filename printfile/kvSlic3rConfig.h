#pragma once

#include "kvVector3D.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVector>

// Everything one slicer run needs: profiles, files, print centre and the command line.
class kvSlic3rConfig : public QObject
{
    Q_OBJECT

public:
    explicit kvSlic3rConfig(QObject *pParent = nullptr);

    QString Path() const { return m_path; }
    QString Input() const { return m_input; }
    QString Output() const { return m_output; }
    QString PrintIni() const { return m_printIni; }
    QString FilamentIni() const { return m_filamentIni; }
    QString PrinterIni() const { return m_printerIni; }
    kvVector3D PrintCenter() const { return m_printCenter; }

    void setPath(QString pPath);
    void setInput(QString pInput);
    void setOutput(QString pOutput);
    void setPrintIni(QString pPrintIni);
    void setFilamentIni(QString pFilamentIni);
    void setPrinterIni(QString pPrinterIni);
    void setPrintCenter(kvVector3D pPrintCenter);

    // Picks the first print profile named "<anything><pQuality>.ini".
    void selectQuality(QString pQuality);
    void selectPrinter(QString pName);
    void selectFilament(QString pName);
    QString findIni(QVector<QString> &pList, QString pName);

    // Writes the merged profile file and returns the slicer's command line (empty on failure).
    QString toSlic3rString();

    // The same run as an argument list for the program, with the print centre given
    // on the command line as well; no quoting needed. Call after toSlic3rString.
    QStringList toSlic3rArguments() const;

    // "Kestrova.ini" in the application's data folder.
    static QString mergedFilePath();

    // Installed profile names by kind, refilled by every construction.
    static QVector<QString> PrintInis;
    static QVector<QString> FilamentInis;
    static QVector<QString> PrinterInis;

signals:
    void ConfigChanged();

private:
    QString printCenterText() const;

    QString m_path;
    QString m_input;
    QString m_output;
    QString m_printIni;
    QString m_filamentIni;
    QString m_printerIni;
    kvVector3D m_printCenter;
};
