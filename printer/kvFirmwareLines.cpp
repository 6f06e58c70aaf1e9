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
    ErrorLine, // an error line that starts with the text
    Greeting // the line ends in the text, alone or glued to the bytes of a line cut short
};

struct Row
{
    Match match;
    QLatin1String text;
    Meaning meaning;
    Scope scope;
};

const Row Table[] = {
    // The Tovra's own buttons.
    {Match::Contains, QLatin1String("HVT100"), Meaning::Home, Scope::Always},
    {Match::Contains, QLatin1String("HVT101"), Meaning::Cancel, Scope::Always},
    {Match::Contains, QLatin1String("HVT102"), Meaning::Pause, Scope::Always},
    {Match::Contains, QLatin1String("HVT103"), Meaning::Resume, Scope::Always},
    // Host action commands: the printer's own screen (Marlin 2). A firmware says them of
    // its own doings too (a filament change of its own): they act on a print under way only.
    {Match::HostAction, QLatin1String("cancel"), Meaning::Cancel, Scope::UnderWay},
    {Match::HostAction, QLatin1String("pause"), Meaning::Pause, Scope::UnderWay},
    {Match::HostAction, QLatin1String("paused"), Meaning::Pause, Scope::UnderWay},
    {Match::HostAction, QLatin1String("resume"), Meaning::Resume, Scope::UnderWay},
    {Match::HostAction, QLatin1String("resumed"), Meaning::Resume, Scope::UnderWay},
    // A reset board greets anew, also right after a line the reset cut short.
    {Match::Greeting, QLatin1String("start"), Meaning::Restart, Scope::Always},
    // Halts: Marlin's kill(), Marlin 1.x's stopped state (it answers "ok" and ignores every
    // line), a Klipper shutdown (its reason on a "!!" line, its state on a "//" line).
    {Match::Error, QLatin1String("Printer halted"), Meaning::Halt, Scope::Always},
    {Match::Error, QLatin1String("kill() called"), Meaning::Halt, Scope::Always},
    {Match::Error, QLatin1String("Printer stopped due to errors"), Meaning::Halt, Scope::Always},
    {Match::Error, QLatin1String("shutdown"), Meaning::Halt, Scope::Always},
    {Match::Contains, QLatin1String("Printer is shutdown"), Meaning::Halt, Scope::Always},
    // Any other error: the firmware refused the line it answers and goes on. A refusal of the
    // user's own line (a jog, a console command) leaves the print as it is.
    {Match::ErrorLine, QLatin1String("Error:"), Meaning::Error, Scope::PrintLine},
    {Match::ErrorLine, QLatin1String("!!"), Meaning::Error, Scope::PrintLine},
    // Repetier's idle line: its buffer is empty and nothing came.
    {Match::Whole, QLatin1String("wait"), Meaning::Waiting, Scope::Always},
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

// Whether the line ends in pWord as a greeting: the word alone on the line, or glued to bytes
// before it that make no word of their own with it ("echo:busy: proc" + "start", "ok T:2" +
// "start", "~start"). A line that only holds the word ("echo:Press to start", "... to
// restart") has none.
bool isGreeting(const QString &pTrimmed, QLatin1String pWord)
{
    if (!pTrimmed.endsWith(pWord)) {
        return false;
    }
    const int tEnd = pTrimmed.size() - pWord.size();
    int tBegin = tEnd;
    while (tBegin > 0 && !pTrimmed.at(tBegin - 1).isSpace()
        && pTrimmed.at(tBegin - 1) != QLatin1Char(':')) {
        --tBegin;
    }
    if (tBegin == tEnd) {
        return tEnd == 0;
    }
    return pTrimmed.midRef(tBegin, tEnd - tBegin).compare(QLatin1String("re"), Qt::CaseInsensitive)
        != 0;
}

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
    case Match::Greeting:
        return isGreeting(pLine.trimmed, pRow.text);
    }
    return false;
}

} // namespace

Rule ruleOf(const QString &pLine)
{
    const Line tLine(pLine);
    // A blank line (the end of a reply) matches no row.
    if (tLine.trimmed.isEmpty()) {
        return {Meaning::Blank, Scope::Always};
    }
    for (const Row &tRow : Table) {
        if (matches(tRow, tLine)) {
            return {tRow.meaning, tRow.scope};
        }
    }
    return {};
}

} // namespace FirmwareLines
} // namespace Kv
