#!/usr/bin/env python3
"""Draws the program icon (PNG in five sizes and SVG). (The window's bands are drawn by the
program itself, src/app/WindowBands.cpp.)

Standard library only, so that the artwork can be redrawn on any machine:
    python3 resources/images/make-images.py
Shapes are signed-distance functions; a pixel's coverage comes from its distance to the edge,
which gives clean anti-aliased edges at every size. Each icon size is drawn from its own
parameters rather than scaled down, so the 16 and 32 pixel icons stay crisp.
"""
import math
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))

# The icon's palette; the window's bands use the same blues and orange.
DEEP = (20, 62, 120)
BLUE = (38, 110, 196)
SKY = (92, 164, 236)
FACE = (250, 252, 255)
INK = (22, 44, 84)
ORANGE = (247, 140, 30)
ORANGE_DARK = (222, 98, 18)
WHITE = (255, 255, 255)


def write_png(path, width, height, pixels):
    """pixels: list of rows, each a list of (r, g, b, a) tuples with float channels 0..255."""
    raw = bytearray()
    for row in pixels:
        raw.append(0)
        for r, g, b, a in row:
            raw += bytes((clamp8(r), clamp8(g), clamp8(b), clamp8(a)))

    def chunk(tag, data):
        body = tag + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(bytes(raw), 9))
    png += chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)


def clamp8(v):
    return max(0, min(255, int(round(v))))


def mix(c1, c2, t):
    t = max(0.0, min(1.0, t))
    return tuple(a + (b - a) * t for a, b in zip(c1, c2))


# ---------------------------------------------------------------- distance functions


def sd_circle(px, py, cx, cy, r):
    return math.hypot(px - cx, py - cy) - r


def sd_segment(px, py, ax, ay, bx, by, half_width):
    """A line with round caps."""
    dx, dy = bx - ax, by - ay
    t = ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)
    t = max(0.0, min(1.0, t))
    return math.hypot(px - ax - t * dx, py - ay - t * dy) - half_width


def sd_polygon(px, py, pts):
    d = float("inf")
    inside = False
    n = len(pts)
    for i in range(n):
        ax, ay = pts[i]
        bx, by = pts[(i + 1) % n]
        ex, ey = bx - ax, by - ay
        wx, wy = px - ax, py - ay
        t = max(0.0, min(1.0, (wx * ex + wy * ey) / (ex * ex + ey * ey)))
        d = min(d, math.hypot(wx - t * ex, wy - t * ey))
        if (ay > py) != (by > py) and px < ax + (py - ay) * ex / ey:
            inside = not inside
    return -d if inside else d


def coverage(d, aa=0.5):
    """Fraction of a one-pixel-wide sample inside a shape at signed distance d."""
    return max(0.0, min(1.0, 0.5 - d / (2 * aa)))


class Canvas:
    def __init__(self, width, height):
        self.width, self.height = width, height
        self.px = [[(0.0, 0.0, 0.0, 0.0)] * width for _ in range(height)]

    def draw(self, sdf, paint, bounds=None, alpha=1.0):
        """Composites a shape over the canvas. paint(x, y) gives the colour at a pixel centre."""
        x0, y0, x1, y1 = bounds or (0, 0, self.width, self.height)
        x0, y0 = max(0, int(x0)), max(0, int(y0))
        x1, y1 = min(self.width, int(math.ceil(x1))), min(self.height, int(math.ceil(y1)))
        for y in range(y0, y1):
            row = self.px[y]
            for x in range(x0, x1):
                cx, cy = x + 0.5, y + 0.5
                a = coverage(sdf(cx, cy)) * alpha
                if a <= 0.0:
                    continue
                colour = paint(cx, cy)
                if len(colour) == 4:
                    a *= colour[3] / 255.0
                row[x] = over(row[x], colour[:3], a)

    def save(self, name):
        write_png(os.path.join(HERE, name), self.width, self.height, self.px)

    def resized(self, width, height):
        """Area-averaged copy at another size (colours weighted by alpha), so that the window
        shows the picture pixel for pixel and never has to scale it while it starts."""
        out = Canvas(width, height)
        sx, sy = self.width / width, self.height / height
        for y in range(height):
            y0, y1 = y * sy, (y + 1) * sy
            for x in range(width):
                x0, x1 = x * sx, (x + 1) * sx
                acc = [0.0, 0.0, 0.0, 0.0]
                area = 0.0
                for yy in range(int(y0), min(self.height, int(math.ceil(y1)))):
                    wy = min(y1, yy + 1) - max(y0, yy)
                    for xx in range(int(x0), min(self.width, int(math.ceil(x1)))):
                        w = wy * (min(x1, xx + 1) - max(x0, xx))
                        r, g, b, a = self.px[yy][xx]
                        acc[0] += r * a * w
                        acc[1] += g * a * w
                        acc[2] += b * a * w
                        acc[3] += a * w
                        area += w
                a = acc[3] / area
                out.px[y][x] = ((acc[0] / acc[3], acc[1] / acc[3], acc[2] / acc[3], a)
                                if acc[3] > 0 else (0.0, 0.0, 0.0, 0.0))
        return out


def over(dst, rgb, a):
    dr, dg, db, da = dst
    da /= 255.0
    out_a = a + da * (1 - a)
    if out_a <= 0:
        return (0.0, 0.0, 0.0, 0.0)
    r = (rgb[0] * a + dr * da * (1 - a)) / out_a
    g = (rgb[1] * a + dg * da * (1 - a)) / out_a
    b = (rgb[2] * a + db * da * (1 - a)) / out_a
    return (r, g, b, out_a * 255.0)


def solid(c):
    return lambda x, y: c


def linear(c1, c2, x1, y1, x2, y2):
    dx, dy = x2 - x1, y2 - y1
    length2 = dx * dx + dy * dy

    def paint(x, y):
        return mix(c1, c2, ((x - x1) * dx + (y - y1) * dy) / length2)

    return paint


# ---------------------------------------------------------------- the icon


def icon(size):
    """A clock face with a launch (play) badge: programs started on a schedule.

    Geometry is given on a 256 grid and scaled; the small sizes get thicker strokes, fewer
    ticks and pixel-aligned centres so they stay legible."""
    s = size / 256.0
    small = size <= 32
    c = Canvas(size, size)

    # Clock: centre and radii.
    cx, cy = 112 * s, 112 * s
    r_outer = 104 * s
    r_face = (80 if not small else 74) * s
    if size == 16:
        # Half-pixel centre: the one-pixel hands then fall exactly on a pixel column and row.
        cx = cy = 7.5
        r_outer, r_face = 7.3, 5.2
    elif size == 32:
        # Whole-pixel centre: the two-pixel hands cover two full columns and rows.
        cx = cy = 14.0
        r_outer, r_face = 13.6, 10.2

    # Soft shadow under the ring (large sizes only).
    if size >= 48:
        c.draw(lambda x, y: sd_circle(x, y, cx + 3 * s, cy + 6 * s, r_outer) / (6 * s) * 0.5,
               solid((0, 0, 0, 70)))

    c.draw(lambda x, y: sd_circle(x, y, cx, cy, r_outer),
           linear(SKY, DEEP, cx - r_outer, cy - r_outer, cx + r_outer * 0.6, cy + r_outer))
    if size >= 48:
        # A thin highlight on the ring's upper edge.
        c.draw(lambda x, y: max(sd_circle(x, y, cx, cy, r_outer - 3 * s),
                                -sd_circle(x, y, cx, cy, r_outer - 7 * s)),
               lambda x, y: (255, 255, 255, 90 * max(0.0, (cy - y) / r_outer)))
    c.draw(lambda x, y: sd_circle(x, y, cx, cy, r_face),
           linear(FACE, (226, 235, 248), cx, cy - r_face, cx, cy + r_face))

    # Hour ticks.
    if size >= 48:
        for h in range(12):
            ang = h * math.pi / 6
            major = h % 3 == 0
            r1 = r_face - (8 if major else 7) * s
            r2 = r_face - (22 if major else 15) * s
            w = (5.5 if major else 3.2) * s
            ax, ay = cx + r1 * math.sin(ang), cy - r1 * math.cos(ang)
            bx, by = cx + r2 * math.sin(ang), cy - r2 * math.cos(ang)
            c.draw(lambda x, y, ax=ax, ay=ay, bx=bx, by=by, w=w: sd_segment(x, y, ax, ay, bx, by, w),
                   solid(INK if major else (120, 138, 170)))

    # Hands at ten past ten, the friendly clock pose.
    def hand(angle_deg, length, width):
        a = math.radians(angle_deg)
        ex, ey = cx + length * math.sin(a), cy - length * math.cos(a)
        c.draw(lambda x, y: sd_segment(x, y, cx, cy, ex, ey, width), solid(INK))

    # The small sizes use nine o'clock: straight hands stay sharp on the pixel grid, and both
    # keep clear of the badge.
    if size == 16:
        hand(0, 4.0, 0.5)
        hand(-90, 3.0, 0.5)
    elif size == 32:
        hand(0, 7.5, 1.0)
        hand(-90, 5.5, 1.0)
        c.draw(lambda x, y: sd_circle(x, y, cx, cy, 1.8), solid(ORANGE_DARK))
    else:
        hand(60, r_face * 0.78, 5.0 * s)
        hand(-60, r_face * 0.55, 7.0 * s)
        c.draw(lambda x, y: sd_circle(x, y, cx, cy, 11 * s), solid(ORANGE_DARK))
        c.draw(lambda x, y: sd_circle(x, y, cx, cy, 5 * s), solid(FACE))

    # Launch badge: an orange disc with a white play triangle, lower right.
    if size == 16:
        bx, by, br = 11.5, 11.5, 4.1
    elif size == 32:
        bx, by, br = 23.0, 23.0, 8.6
    else:
        bx, by, br = 190 * s, 190 * s, 62 * s
    ring = (0.9 if size == 16 else 2.0 if size == 32 else 9 * s)
    c.draw(lambda x, y: sd_circle(x, y, bx, by, br + ring), solid(WHITE))
    c.draw(lambda x, y: sd_circle(x, y, bx, by, br),
           linear((255, 178, 72), ORANGE_DARK, bx, by - br, bx, by + br))
    t = br * 0.52
    tri = [(bx - t * 0.62, by - t), (bx - t * 0.62, by + t), (bx + t * 1.02, by)]
    rounding = 0.0 if size == 16 else 0.5 if size == 32 else 4 * s
    c.draw(lambda x, y: sd_polygon(x, y, tri) - rounding, solid(WHITE))
    return c


def icon_svg():
    """The large icon's geometry as a scalable SVG, for the desktop's icon theme."""
    cx = cy = 112
    r_outer, r_face = 104, 80
    hexc = lambda c: "#%02x%02x%02x" % tuple(clamp8(v) for v in c[:3])
    out = ['<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256" viewBox="0 0 256 256">',
           "<defs>",
           '<linearGradient id="ring" gradientUnits="userSpaceOnUse" x1="%g" y1="%g" x2="%g" y2="%g">'
           % (cx - r_outer, cy - r_outer, cx + r_outer * 0.6, cy + r_outer)
           + '<stop offset="0" stop-color="%s"/><stop offset="1" stop-color="%s"/></linearGradient>'
           % (hexc(SKY), hexc(DEEP)),
           '<linearGradient id="face" gradientUnits="userSpaceOnUse" x1="0" y1="%g" x2="0" y2="%g">'
           % (cy - r_face, cy + r_face)
           + '<stop offset="0" stop-color="%s"/><stop offset="1" stop-color="#e2ebf8"/></linearGradient>'
           % hexc(FACE),
           '<linearGradient id="badge" gradientUnits="userSpaceOnUse" x1="0" y1="128" x2="0" y2="252">'
           '<stop offset="0" stop-color="#ffb248"/><stop offset="1" stop-color="%s"/></linearGradient>'
           % hexc(ORANGE_DARK),
           '<linearGradient id="shine" x1="0" y1="0" x2="0" y2="1">'
           '<stop offset="0" stop-color="#fff" stop-opacity="0.35"/>'
           '<stop offset="0.5" stop-color="#fff" stop-opacity="0"/></linearGradient>',
           '<filter id="blur"><feGaussianBlur stdDeviation="3"/></filter>',
           "</defs>",
           '<circle cx="%g" cy="%g" r="%g" fill="#000" fill-opacity="0.27" filter="url(#blur)"/>'
           % (cx + 3, cy + 6, r_outer),
           '<circle cx="%g" cy="%g" r="%g" fill="url(#ring)"/>' % (cx, cy, r_outer),
           '<circle cx="%g" cy="%g" r="%g" fill="none" stroke="url(#shine)" stroke-width="4"/>'
           % (cx, cy, r_outer - 5),
           '<circle cx="%g" cy="%g" r="%g" fill="url(#face)"/>' % (cx, cy, r_face)]
    for h in range(12):
        ang = h * math.pi / 6
        major = h % 3 == 0
        r1 = r_face - (8 if major else 7)
        r2 = r_face - (22 if major else 15)
        out.append('<line x1="%.2f" y1="%.2f" x2="%.2f" y2="%.2f" stroke="%s" stroke-width="%g" '
                   'stroke-linecap="round"/>'
                   % (cx + r1 * math.sin(ang), cy - r1 * math.cos(ang), cx + r2 * math.sin(ang),
                      cy - r2 * math.cos(ang), hexc(INK if major else (120, 138, 170)),
                      2 * (5.5 if major else 3.2)))
    for angle, length, width in ((60, r_face * 0.78, 5.0), (-60, r_face * 0.55, 7.0)):
        a = math.radians(angle)
        out.append('<line x1="%g" y1="%g" x2="%.2f" y2="%.2f" stroke="%s" stroke-width="%g" '
                   'stroke-linecap="round"/>'
                   % (cx, cy, cx + length * math.sin(a), cy - length * math.cos(a), hexc(INK),
                      2 * width))
    out.append('<circle cx="%g" cy="%g" r="11" fill="%s"/>' % (cx, cy, hexc(ORANGE_DARK)))
    out.append('<circle cx="%g" cy="%g" r="5" fill="%s"/>' % (cx, cy, hexc(FACE)))
    bx = by = 190
    br = 62
    out.append('<circle cx="%g" cy="%g" r="%g" fill="#fff"/>' % (bx, by, br + 9))
    out.append('<circle cx="%g" cy="%g" r="%g" fill="url(#badge)"/>' % (bx, by, br))
    t = br * 0.52
    tri = [(bx - t * 0.62, by - t), (bx - t * 0.62, by + t), (bx + t * 1.02, by)]
    out.append('<polygon points="%s" fill="#fff" stroke="#fff" stroke-width="8" '
               'stroke-linejoin="round"/>' % " ".join("%.2f,%.2f" % p for p in tri))
    out.append("</svg>")
    with open(os.path.join(HERE, "launchwright.svg"), "w") as f:
        f.write("\n".join(out) + "\n")


def main():
    for size, name in ((256, "launchwright.png"), (128, "launchwright-128.png"),
                       (48, "launchwright-48.png"),
                       (32, "launchwright-32.png"), (16, "launchwright-16.png")):
        icon(size).save(name)
    icon_svg()
    # Each band at the size of its place in the main window (resources/ui/MainDialog.ui).
    band_top().resized(642, 32).save("band-top.png")
    band_bottom().resized(642, 33).save("band-bottom.png")
    side = band_side()
    side.resized(35, 403).save("band-side.png")
    side.resized(22, 403).save("band-side-narrow.png")


if __name__ == "__main__":
    main()
