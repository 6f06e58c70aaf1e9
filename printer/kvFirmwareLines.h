#pragma once

#include <QString>

namespace Kv {
namespace FirmwareLines {

// What a firmware's line says about the print, whichever firmware's dialect says it.
enum class Meaning
{
    Nothing,
    Home, // the printer's home button
    Cancel, // its cancel button, or Stop chosen on its screen
    Pause, // its pause button, or Pause chosen on its screen
    Resume, // its resume button, or Resume chosen on its screen
    Restart, // the firmware started again
    Halt, // the firmware stopped itself: it takes no print line until it is restarted
    Error // an error the firmware goes on after
};

// The meaning of one line of a reply: that of the first row of the table that matches it.
Meaning meaningOf(const QString &pLine);

} // namespace FirmwareLines
} // namespace Kv
