#include "kvLogging.h"

Q_LOGGING_CATEGORY(lcPrintFile, "kv.printfile", QtInfoMsg)
Q_LOGGING_CATEGORY(lcPrinter, "kv.printer", QtInfoMsg)
Q_LOGGING_CATEGORY(lcView, "kv.view", QtInfoMsg)
Q_LOGGING_CATEGORY(lcApp, "kv.app", QtInfoMsg)
