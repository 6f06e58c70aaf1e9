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
    QLatin1String text;
    Meaning meaning;
};

const Row Table[] = {
    // The Tovra's own buttons.
    {Match::Contains, QLatin1String("HVT100"), Meaning::Home},
    {Match::Contains, QLatin1String("HVT101"), Meaning::Cancel},
    {Match::Contains, QLatin1String("HVT102"), Meaning::Pause},
    {Match::Contains, QLatin1String("HVT103"), Meaning::Resume},
    // Host action commands: the printer's own screen (Marlin 2).
    {Match::HostAction, QLatin1String("cancel"), Meaning::Cancel},
    {Match::HostAction, QLatin1String("pause"), Meaning::Pause},
    {Match::HostAction, QLatin1String("paused"), Meaning::Pause},
    {Match::HostAction, QLatin1String("resume"), Meaning::Resume},
    {Match::HostAction, QLatin1String("resumed"), Meaning::Resume},
    // A reset board greets anew.
    {Match::Whole, QLatin1String("start"), Meaning::Restart},
    // Halts: Marlin's kill(), Marlin 1.x's stopped state (it answers "ok" and ignores every
    // line), a Klipper shutdown (its reason on a "!!" line, its state on a "//" line).
    {Match::Error, QLatin1String("Printer halted"), Meaning::Halt},
    {Match::Error, QLatin1String("kill() called"), Meaning::Halt},
    {Match::Error, QLatin1String("Printer stopped due to errors"), Meaning::Halt},
    {Match::Error, QLatin1String("shutdown"), Meaning::Halt},
    {Match::Contains, QLatin1String("Printer is shutdown"), Meaning::Halt},
    // Any other error: the firmware refused something and goes on.
    {Match::ErrorLine, QLatin1String("Error:"), Meaning::Error},
    {Match::ErrorLine, QLatin1String("!!"), Meaning::Error},
};

// The word of a host action line, or empty.
QStringRef hostAction(const QString &pTrimmed)
{
    if (!pTrimmed.startsWith(QLatin1String("//"))) {
        return QStringRef();
    }
    int tAt = 2;
    while (tAt < pTrimmed.size() && pTrimmed.at(tAt).isSpace()) {
        ++tAt;
    }
    const QLatin1String tAction("action:");
    if (pTrimmed.midRef(tAt, tAction.size()) != tAction) {
        return QStringRef();
    }
    tAt += tAction.size();
    int tEnd = tAt;
    while (tEnd < pTrimmed.size() && !pTrimmed.at(tEnd).isSpace()) {
        ++tEnd;
    }
    return pTrimmed.midRef(tAt, tEnd - tAt);
}

// What the rows ask of a line, found once for all of them.
struct Line
{
    explicit Line(const QString &pLine)
        : whole(pLine)
        , trimmed(pLine.trimmed())
        , isError(trimmed.startsWith(QLatin1String("Error:"))
              || trimmed.startsWith(QLatin1String("!!")))
        , action(hostAction(trimmed))
    { }
    const QString &whole;
    const QString trimmed;
    const bool isError;
    const QStringRef action;
};

bool matches(const Row &pRow, const Line &pLine)
{
    switch (pRow.match) {
    case Match::Contains:
        return pLine.whole.contains(pRow.text);
    case Match::Whole:
        return pLine.trimmed == pRow.text;
    case Match::HostAction:
        return pLine.action == pRow.text;
    case Match::Error:
        return pLine.isError && pLine.trimmed.contains(pRow.text, Qt::CaseInsensitive);
    case Match::ErrorLine:
        return pLine.trimmed.startsWith(pRow.text);
    }
    return false;
}

} // namespace

Meaning meaningOf(const QString &pLine)
{
    const Line tLine(pLine);
    // A blank line (the end of a reply) matches no row.
    if (tLine.trimmed.isEmpty()) {
        return Meaning::Nothing;
    }
    for (const Row &tRow : Table) {
        if (matches(tRow, tLine)) {
            return tRow.meaning;
        }
    }
    return Meaning::Nothing;
}

} // namespace FirmwareLines
} // namespace Kv
