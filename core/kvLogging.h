#pragma once

#include <QLoggingCategory>

// Developer traces, one category per library. Debug lines are off unless switched on, e.g.
// QT_LOGGING_RULES="kv.view.debug=true"; warnings are always shown.
Q_DECLARE_LOGGING_CATEGORY(lcPrintFile)
Q_DECLARE_LOGGING_CATEGORY(lcPrinter)
Q_DECLARE_LOGGING_CATEGORY(lcView)
Q_DECLARE_LOGGING_CATEGORY(lcApp)
