#!/usr/bin/env python3
"""Writes the small STL and G-code fixtures of the print file tests into this folder."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))

# Cube of edge 10, outward normals, counter-clockwise corners.
CUBE = [
    ((0, 0, -1), [(0, 0, 0), (0, 10, 0), (10, 10, 0)]),
    ((0, 0, -1), [(0, 0, 0), (10, 10, 0), (10, 0, 0)]),
    ((0, 0, 1), [(0, 0, 10), (10, 0, 10), (10, 10, 10)]),
    ((0, 0, 1), [(0, 0, 10), (10, 10, 10), (0, 10, 10)]),
    ((0, -1, 0), [(0, 0, 0), (10, 0, 0), (10, 0, 10)]),
    ((0, -1, 0), [(0, 0, 0), (10, 0, 10), (0, 0, 10)]),
    ((0, 1, 0), [(0, 10, 0), (0, 10, 10), (10, 10, 10)]),
    ((0, 1, 0), [(0, 10, 0), (10, 10, 10), (10, 10, 0)]),
    ((-1, 0, 0), [(0, 0, 0), (0, 0, 10), (0, 10, 10)]),
    ((-1, 0, 0), [(0, 0, 0), (0, 10, 10), (0, 10, 0)]),
    ((1, 0, 0), [(10, 0, 0), (10, 10, 0), (10, 10, 10)]),
    ((1, 0, 0), [(10, 0, 0), (10, 10, 10), (10, 0, 10)]),
]


def ascii_stl(name, facets):
    lines = ["solid %s" % name]
    for normal, corners in facets:
        lines.append("  facet normal %e %e %e" % normal)
        lines.append("    outer loop")
        for corner in corners:
            lines.append("      vertex %e %e %e" % corner)
        lines.append("    endloop")
        lines.append("  endfacet")
    lines.append("endsolid %s" % name)
    return ("\n".join(lines) + "\n").encode()


def binary_stl(header, facets):
    data = header.ljust(80, b"\0")[:80] + struct.pack("<i", len(facets))
    for normal, corners in facets:
        data += struct.pack("<3f", *normal)
        for corner in corners:
            data += struct.pack("<3f", *corner)
        data += b"\0\0"
    return data


def write(name, data):
    with open(os.path.join(HERE, name), "wb") as out:
        out.write(data)


write("cube-ascii.stl", ascii_stl("cube", CUBE))
write("cube-binary.stl", binary_stl(b"binary cube", CUBE))
write("cube-solid-header.stl", binary_stl(b"solid cube written as binary", CUBE))
write("triangle-short.stl",
      b"solid t\nfacet normal 0 0 1\nouter loop\nvertex 0 0 0\nvertex 1 0 0\n"
      b"vertex 0 1 0\nendloop\nendfacet\nendsolid t\n")
write("few-lines.gcode",
      b"; generated for the tests\n"
      b"G21 ; millimetres\n"
      b"G90\n"
      b"\n"
      b"M104 S210\n"
      b"G28\n"
      b";LAYER:1\n"
      b"G1 Z0.35 F7800\n"
      b"G1 X10 Y10 E1.5 F1200\n"
      b"M109 S210 ; wait\n"
      b"G0 X20 Y20\n"
      b"G1 X30 Y10 ; M109 in a comment\n"
      b"G1 X30 Y30 E3\n"
      b"M106 S255\n"
      b"M84\n")
