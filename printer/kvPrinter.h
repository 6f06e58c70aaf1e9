#pragma once

#include "kvPrinterSettings.h"

#include <QObject>
#include <QString>
#include <QVector>

// One printer on a serial port, and the printer types table all printers share.
class kvPrinter : public QObject
{
    Q_OBJECT

public:
    // The printer types table; it owns its entries.
    static QVector<kvPrinterSettings *> PrinterTypes;

    // Appends one entry per section of the printer types file. An empty path reads
    // "kvPrinterSettings.ini" in the executable's folder. A file that cannot be read
    // leaves the table as it is.
    static void loadPrinterTypes(const QString &pPath = QString());

    // The first entry whose section name is the machine type, or null.
    static kvPrinterSettings *getPrinterSettings(const QString &pMachineType);

    // Deletes the entries, last to first, and empties the table.
    static void clearPrinterTypes();
};
