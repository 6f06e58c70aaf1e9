#!/usr/bin/env python3
"""Writes ../ZOffsetCalibration.gcode: eleven test lines, one per Z offset from -0.5 to 0.5."""
import os

E_PER_MM = 0.08821  # filament per millimetre of a first-layer line
TRAVEL = "F7800"


def num(value):
    text = f"{value:.4f}".rstrip("0").rstrip(".")
    return "0" if text in ("-0", "") else text


lines = [
    "; Z-offset calibration: eleven lines, each 0.1 mm lower than the one on its left",
    "G21",
    "G90",
    "G92 E0",
    "M82",
    "G28 X0 Y0",
    "G29",
    "; priming line",
    "G92 E0",
    "G1 Z0.5 F500",
    f"G1 X30 Y50 {TRAVEL}",
    "G1 X30 Y150 E8.821 F2000",
    "G1 E7.721 F1800",
    "G92 E0",
    "G1 Z0.85",
    "G92 Z1",
]

for index in range(11):
    offset = round(-0.5 + 0.1 * index, 1)
    x = 53 + 10 * index
    top, bottom = (140, 70) if offset == 0 else (130, 80)
    lines.append(f";;;;; {num(offset)} ;;;;;")
    lines.append(f"G1 X{x} Y{top} {TRAVEL}")
    lines.append(f"G1 Z{num(0.5 - offset)} F500")
    lines.append("G1 E1 F1800")
    end = 1 + (top - bottom) * E_PER_MM
    lines.append(f"G1 X{x} Y{bottom} E{num(end)} F270")
    lines.append(f"G1 E{num(end - 1)} F1800")
    lines.append("G92 E0")
    if offset == 0:
        continue
    # One short dash per tenth of a millimetre, the same for -n and +n.
    lines.append("G1 E1 F1800")
    e = 1.0
    for dash in range(round(abs(offset) * 10)):
        y = 78 - 2 * dash
        lines.append(f"G1 X{num(x - 1.5)} Y{y} {TRAVEL}")
        e += 3 * E_PER_MM
        lines.append(f"G1 X{num(x + 1.5)} Y{y} E{num(e)} F270")
    lines.append(f"G1 E{num(e - 1)} F1800")
    lines.append("G92 E0")

lines += ["G1 X163 Z10 F7800", "G28 X0 Y0", "G1 Z100"]

here = os.path.dirname(os.path.abspath(__file__))
with open(os.path.join(here, "..", "ZOffsetCalibration.gcode"), "w") as out:
    out.write("\n".join(lines) + "\n")
