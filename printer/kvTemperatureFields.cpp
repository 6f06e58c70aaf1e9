// The fields of a temperature report the link knows, one row each: a new firmware's field is
// a new row.
#include "kvTemperatureFields.h"

#include <algorithm>
#include <cmath>

namespace Kv {
namespace TemperatureFields {

namespace {

enum class Meaning
{
    Extruder, // the active extruder's reading and target
    NumberedExtruder, // the reading and target of the extruder the name numbers
    Bed, // the bed's reading and target
    ExtruderPower, // the extruder heater's power
    BedPower // the bed heater's power
};

enum class Name
{
    Exact, // the name is the text
    Numbered // the text, then a whole number ("T0", "T1")
};

struct Row
{
    QLatin1String text;
    Name name;
    Meaning meaning;
};

// Marlin, Repetier-Firmware, Smoothieware, Prusa and Klipper name them alike. What they add
// ("E:", "W:", "C:", "@0:", Smoothieware's "@255") has no row and is skipped.
const Row Table[] = {
    {QLatin1String("T"), Name::Exact, Meaning::Extruder},
    {QLatin1String("B"), Name::Exact, Meaning::Bed},
    {QLatin1String("T"), Name::Numbered, Meaning::NumberedExtruder},
    {QLatin1String("@"), Name::Exact, Meaning::ExtruderPower},
    {QLatin1String("B@"), Name::Exact, Meaning::BedPower},
};

// More digits than this number no extruder.
constexpr int MaxIndexDigits = 3;

bool isBlank(QChar pChar)
{
    return pChar == QLatin1Char(' ') || pChar == QLatin1Char('\t');
}

bool isLineEnd(QChar pChar)
{
    return pChar == QLatin1Char('\n') || pChar == QLatin1Char('\r');
}

int skipBlanks(const QString &pText, int pAt)
{
    while (pAt < pText.size() && isBlank(pText.at(pAt))) {
        ++pAt;
    }
    return pAt;
}

// Where the word at pAt ends: at a blank, a line end, a "/" or a ":".
int wordEnd(const QString &pText, int pAt)
{
    while (pAt < pText.size()) {
        const QChar tChar = pText.at(pAt);
        if (isBlank(tChar) || isLineEnd(tChar) || tChar == QLatin1Char('/')
            || tChar == QLatin1Char(':')) {
            break;
        }
        ++pAt;
    }
    return pAt;
}

// The number at pAt, after blanks; pAt moves past it. A word a ":" follows is the next
// field's name: the number is then empty and pAt stays before the name.
QStringRef numberAt(const QString &pText, int &pAt)
{
    const int tStart = skipBlanks(pText, pAt);
    const int tEnd = wordEnd(pText, tStart);
    if (tEnd < pText.size() && pText.at(tEnd) == QLatin1Char(':')) {
        return QStringRef();
    }
    pAt = tEnd;
    return pText.midRef(tStart, tEnd - tStart);
}

// Read as Kv::floatFromText reads: not a finite number in the C locale gives 0.
float valueOf(const QStringRef &pText)
{
    bool tOk = false;
    const float tValue = pText.toFloat(&tOk);
    return tOk && std::isfinite(tValue) ? tValue : 0.0f;
}

struct Field
{
    QStringRef name;
    Reading reading;
};

// The next field from pAt on; false once the text ends. Words that name no field ("ok",
// "@255") are passed over.
bool nextField(const QString &pText, int &pAt, Field &pField)
{
    while (pAt < pText.size()) {
        const int tStart = pAt;
        const int tEnd = wordEnd(pText, tStart);
        if (tEnd == tStart) {
            // A blank, a line end, or a "/" or ":" of no field.
            ++pAt;
            continue;
        }
        pAt = tEnd;
        if (tEnd == pText.size() || pText.at(tEnd) != QLatin1Char(':')) {
            continue;
        }
        pField.name = pText.midRef(tStart, tEnd - tStart);
        ++pAt;
        const QStringRef tCurrent = numberAt(pText, pAt);
        pField.reading.current = valueOf(tCurrent);
        const int tSlash = skipBlanks(pText, pAt);
        if (tSlash < pText.size() && pText.at(tSlash) == QLatin1Char('/')) {
            pAt = tSlash + 1;
            pField.reading.target = valueOf(numberAt(pText, pAt));
        } else {
            pField.reading.target = pField.reading.current;
        }
        return true;
    }
    return false;
}

// The row of pName, with the number a numbered name carries in pIndex; null for none.
const Row *rowOf(const QStringRef &pName, int &pIndex)
{
    for (const Row &tRow : Table) {
        if (tRow.name == Name::Exact) {
            if (pName == tRow.text) {
                return &tRow;
            }
            continue;
        }
        const int tDigits = pName.size() - tRow.text.size();
        if (tDigits < 1 || tDigits > MaxIndexDigits || !pName.startsWith(tRow.text)) {
            continue;
        }
        int tIndex = 0;
        for (const QChar tChar : pName.mid(tRow.text.size())) {
            if (tChar < QLatin1Char('0') || tChar > QLatin1Char('9')) {
                tIndex = -1;
                break;
            }
            tIndex = tIndex * 10 + (tChar.unicode() - '0');
        }
        if (tIndex >= 0) {
            pIndex = tIndex;
            return &tRow;
        }
    }
    return nullptr;
}

template <typename T> void keepFirst(std::optional<T> &pSlot, const T &pValue)
{
    if (!pSlot) {
        pSlot = pValue;
    }
}

} // namespace

Report read(const QString &pText, int pExtruders)
{
    Report tReport;
    tReport.extruders.resize(std::max(pExtruders, 0));
    Field tField;
    int tAt = 0;
    while (nextField(pText, tAt, tField)) {
        int tIndex = 0;
        const Row *tRow = rowOf(tField.name, tIndex);
        if (!tRow) {
            continue;
        }
        switch (tRow->meaning) {
        case Meaning::Extruder:
            keepFirst(tReport.extruder, tField.reading);
            break;
        case Meaning::NumberedExtruder:
            if (tIndex < tReport.extruders.size()) {
                keepFirst(tReport.extruders[tIndex], tField.reading);
            }
            break;
        case Meaning::Bed:
            keepFirst(tReport.bed, tField.reading);
            break;
        case Meaning::ExtruderPower:
            keepFirst(tReport.extruderPower, tField.reading.current);
            break;
        case Meaning::BedPower:
            keepFirst(tReport.bedPower, tField.reading.current);
            break;
        }
    }
    return tReport;
}

} // namespace TemperatureFields
} // namespace Kv
