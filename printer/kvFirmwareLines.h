#pragma once

#include <QString>

namespace Kv {
namespace FirmwareLines {

// What a firmware's line says about the print, whichever firmware's dialect says it.
enum class Meaning
{
    Nothing, // a line of its own that acts on nothing: an answer all the same
    Blank, // no line at all: a line end alone, or noise the link dropped
    Waiting, // the firmware waits for a line (Repetier's "wait"): no answer to the one in flight
    Home, // the printer's home button
    Cancel, // its cancel button, or Stop chosen on its screen
    Pause, // its pause button, or Pause chosen on its screen
    Resume, // its resume button, or Resume chosen on its screen
    Restart, // the firmware started again
    Halt, // the firmware stopped itself: it takes no print line until it is restarted
    Error // an error the firmware goes on after
};

// Whose line a meaning acts for, and so when it acts.
enum class Scope
{
    Always, // whatever the printer is doing: its own buttons, a halt, a restart
    UnderWay, // a print under way (heating, printing, paused, or waiting for its slice)
    PrintLine // the line it answers, the one in flight, is one of the print's own
};

struct Rule
{
    Meaning meaning = Meaning::Nothing;
    Scope scope = Scope::Always;
};

// The rule of one line of a reply: that of the first row of the table that matches it.
Rule ruleOf(const QString &pLine);
inline Meaning meaningOf(const QString &pLine)
{
    return ruleOf(pLine).meaning;
}

// Whether a line tells that the firmware is there and answering: any line but a blank one
// and a "wait".
inline bool isAnswer(Meaning pMeaning)
{
    return pMeaning != Meaning::Blank && pMeaning != Meaning::Waiting;
}

} // namespace FirmwareLines
} // namespace Kv
