#pragma once

#include <QString>
#include <QVector>

#include <optional>

namespace Kv {
namespace TemperatureFields {

// A heater's reading and target. A field without a target ("T:200") gives its reading as
// the target too.
struct Reading
{
    float current = 0.0f;
    float target = 0.0f;
};

// The fields of a temperature report the link knows; each is the first of its name in the
// report, and those missing are empty.
struct Report
{
    std::optional<Reading> extruder; // "T:", the active extruder
    std::optional<Reading> bed; // "B:"
    QVector<std::optional<Reading>> extruders; // "T0:", "T1:", ... of the extruders asked for
    std::optional<float> extruderPower; // "@:"
    std::optional<float> bedPower; // "B@:"
};

// Reads pText as fields: a name and ":", a number, then an optional "/" and a number, blanks
// allowed around the "/". A number ends where a blank, a line end or a "/" follows it; a part
// that is not a number reads as 0. Fields of other names are skipped. pExtruders is how many
// numbered extruders are asked for.
Report read(const QString &pText, int pExtruders);

} // namespace TemperatureFields
} // namespace Kv
