#pragma once

#include <QString>

namespace Kv::Wire {

// A number in a command to the printer: up to six significant digits, shortest form
// (215, 0.5, -75).
inline QString number(float pValue)
{
    return QString::number(double(pValue), 'g', 6);
}

} // namespace Kv::Wire
