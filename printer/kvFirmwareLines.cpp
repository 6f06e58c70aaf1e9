// The firmware lines that act on the print, one row each: a new dialect is a new row.
#include "kvFirmwareLines.h"

namespace Kv {
namespace FirmwareLines {

namespace {

enum class Match
{
    Contains, // the line holds the text
    Whole, // the line, without blanks at its ends, is the text
    HostAction, // "//action:" and the text as its word ("// action:" as Klipper's macros say it)
    Error, // an error line ("Error:" or "!!" first) that holds the text, in any case
    ErrorLine // an error line that starts with the text
};

struct Row
{
    Match match;
    const char *text;
    Meaning meaning;
};

const Row Table[] = {
    // The Tovra's own buttons.
    {Match::Contains, "HVT100", Meaning::Home},
    {Match::Contains, "HVT101", Meaning::Cancel},
    {Match::Contains, "HVT102", Meaning::Pause},
    {Match::Contains, "HVT103", Meaning::Resume},
    // Host action commands: the printer's own screen (Marlin 2).
    {Match::HostAction, "cancel", Meaning::Cancel},
    {Match::HostAction, "pause", Meaning::Pause},
    {Match::HostAction, "paused", Meaning::Pause},
    {Match::HostAction, "resume", Meaning::Resume},
    {Match::HostAction, "resumed", Meaning::Resume},
    // A reset board greets anew.
    {Match::Whole, "start", Meaning::Restart},
    // Halts: Marlin's kill(), Marlin 1.x's stopped state (it answers "ok" and ignores every
    // line), a Klipper shutdown (its reason on a "!!" line, its state on a "//" line).
    {Match::Error, "Printer halted", Meaning::Halt},
    {Match::Error, "kill() called", Meaning::Halt},
    {Match::Error, "Printer stopped due to errors", Meaning::Halt},
    {Match::Error, "shutdown", Meaning::Halt},
    {Match::Contains, "Printer is shutdown", Meaning::Halt},
    // Any other error: the firmware refused something and goes on.
    {Match::ErrorLine, "Error:", Meaning::Error},
    {Match::ErrorLine, "!!", Meaning::Error},
};

bool isErrorLine(const QString &pTrimmed)
{
    return pTrimmed.startsWith(QLatin1String("Error:")) || pTrimmed.startsWith(QLatin1String("!!"));
}

// The word of a host action line, or empty.
QString hostAction(const QString &pTrimmed)
{
    if (!pTrimmed.startsWith(QLatin1String("//"))) {
        return QString();
    }
    int tAt = 2;
    while (tAt < pTrimmed.size() && pTrimmed.at(tAt).isSpace()) {
        ++tAt;
    }
    const QLatin1String tAction("action:");
    if (pTrimmed.midRef(tAt, tAction.size()) != tAction) {
        return QString();
    }
    tAt += tAction.size();
    int tEnd = tAt;
    while (tEnd < pTrimmed.size() && !pTrimmed.at(tEnd).isSpace()) {
        ++tEnd;
    }
    return pTrimmed.mid(tAt, tEnd - tAt);
}

bool matches(const Row &pRow, const QString &pLine, const QString &pTrimmed)
{
    const QLatin1String tText(pRow.text);
    switch (pRow.match) {
    case Match::Contains:
        return pLine.contains(tText);
    case Match::Whole:
        return pTrimmed == tText;
    case Match::HostAction:
        return hostAction(pTrimmed) == tText;
    case Match::Error:
        return isErrorLine(pTrimmed) && pTrimmed.contains(tText, Qt::CaseInsensitive);
    case Match::ErrorLine:
        return pTrimmed.startsWith(tText);
    }
    return false;
}

} // namespace

Meaning meaningOf(const QString &pLine)
{
    const QString tTrimmed = pLine.trimmed();
    for (const Row &tRow : Table) {
        if (matches(tRow, pLine, tTrimmed)) {
            return tRow.meaning;
        }
    }
    return Meaning::Nothing;
}

} // namespace FirmwareLines
} // namespace Kv
