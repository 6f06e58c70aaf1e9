#include "kvPrinterSettings.h"

kvPrinterSettings::kvPrinterSettings(QObject *pParent)
    : QObject(pParent)
{ }
