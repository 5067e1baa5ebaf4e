#!/usr/bin/env python3
"""Draws the program's icon: a crank trigger wheel with its missing-tooth gap and the advance arrow
sweeping ahead of it, on a rounded plate in the window's caption blue. Writes
packaging/com.kestrelia.Doravine.svg and renders the 256 px PNG beside it with rsvg-convert
(librsvg2-bin); both are kept in the tree, so a build needs neither this script nor the renderer."""
import math
import pathlib
import subprocess

ROOT = pathlib.Path(__file__).resolve().parent.parent
SVG = ROOT / "packaging" / "com.kestrelia.Doravine.svg"
PNG = ROOT / "packaging" / "com.kestrelia.Doravine.png"

CX = CY = 128.0
TEETH = 20          # pitch positions around the wheel
MISSING = (0, 1)    # two teeth left out: the gap the controller counts from
TIP, ROOT_R = 86.0, 72.0
GAP_START = -74.0   # degrees, clockwise from three o'clock: the gap sits right of the top
HUB = 42.0
ARROW_R = 106.0
ARROW_FROM, ARROW_TO = -205.0, -104.0


def point(radius, degrees):
    a = math.radians(degrees)
    return CX + radius * math.cos(a), CY + radius * math.sin(a)


def wheel_path():
    step = 360.0 / TEETH
    pts = []
    for i in range(TEETH):
        a0 = GAP_START + i * step
        if i in MISSING:
            pts += [point(ROOT_R, a0 + step * f) for f in (0.0, 0.5)]
            continue
        pts += [point(ROOT_R, a0), point(ROOT_R, a0 + step * 0.22), point(TIP, a0 + step * 0.30),
                point(TIP, a0 + step * 0.70), point(ROOT_R, a0 + step * 0.78)]
    outline = "M" + " L".join(f"{x:.2f},{y:.2f}" for x, y in pts) + " Z"
    hole = (f" M{CX + HUB:.2f},{CY:.2f} A{HUB},{HUB} 0 1,0 {CX - HUB:.2f},{CY:.2f}"
            f" A{HUB},{HUB} 0 1,0 {CX + HUB:.2f},{CY:.2f} Z")
    return outline + hole


def arrow():
    x1, y1 = point(ARROW_R, ARROW_FROM)
    x2, y2 = point(ARROW_R, ARROW_TO)
    t = math.radians(ARROW_TO)
    tx, ty = -math.sin(t), math.cos(t)  # the way the wheel turns
    nx, ny = math.cos(t), math.sin(t)
    length, half = 24.0, 15.0
    head = (x2 + tx * length, y2 + ty * length)
    left, right = (x2 + nx * half, y2 + ny * half), (x2 - nx * half, y2 - ny * half)
    arc = f"M{x1:.2f},{y1:.2f} A{ARROW_R},{ARROW_R} 0 0,1 {x2:.2f},{y2:.2f}"
    tip = " L".join(f"{x:.2f},{y:.2f}" for x, y in (head, left, right))
    return arc, "M" + tip + " Z"


def main():
    arc, head = arrow()
    SVG.write_text(f'''<?xml version="1.0" encoding="UTF-8"?>
<!-- Doravine: a crank trigger wheel with its missing-tooth gap, and the advance arrow ahead of it.
     Drawn by scripts/make_icon.py. -->
<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256" viewBox="0 0 256 256">
  <defs>
    <linearGradient id="plate" x1="0" y1="0" x2="0" y2="1">
      <stop offset="0" stop-color="#3c76af"/>
      <stop offset="1" stop-color="#1d3b69"/>
    </linearGradient>
    <linearGradient id="steel" x1="0" y1="0" x2="1" y2="1">
      <stop offset="0" stop-color="#f4f7fb"/>
      <stop offset="1" stop-color="#b4c2d6"/>
    </linearGradient>
  </defs>
  <rect x="8" y="8" width="240" height="240" rx="52" fill="url(#plate)"/>
  <path fill="url(#steel)" fill-rule="evenodd" stroke="#16304f" stroke-width="2" stroke-linejoin="round"
        d="{wheel_path()}"/>
  <circle cx="{CX:.0f}" cy="{CY:.0f}" r="15" fill="url(#steel)" stroke="#16304f" stroke-width="2"/>
  <path fill="none" stroke="#f5a623" stroke-width="13" stroke-linecap="round" d="{arc}"/>
  <path fill="#f5a623" stroke="#f5a623" stroke-width="4" stroke-linejoin="round" d="{head}"/>
</svg>
''')
    subprocess.run(["rsvg-convert", "-w", "256", "-h", "256", str(SVG), "-o", str(PNG)], check=True)


if __name__ == "__main__":
    main()
