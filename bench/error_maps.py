"""SVG maps of a property function's error over a plane of states.

The plane has a linear horizontal axis (temperature or enthalpy) and a
logarithmic pressure axis. Each cell of a regular grid is coloured by the
relative error of the answer at its centre, in bands of one decade; cells
without an answer are grey. Cells whose answer carries a flag of
RudidStateFlags are outlined together, and lines such as the saturation
line are drawn over the cells.
"""

import math
from html import escape

# Upper bounds of the error bands and their colours, best first.
BANDS = (
    (1e-5, "#1a9850", "< 0.001 %"),
    (1e-4, "#91cf60", "0.001 - 0.01 %"),
    (1e-3, "#d9ef8b", "0.01 - 0.1 %"),
    (1e-2, "#fee08b", "0.1 - 1 %"),
    (1e-1, "#fc8d59", "1 - 10 %"),
    (math.inf, "#d73027", ">= 10 %"),
)
NO_ANSWER = ("#d9d9d9", "no answer (outside the tables)")

WIDTH, HEIGHT = 900, 500
LEFT, RIGHT, TOP, BOTTOM = 70, 240, 40, 50


class Plane:
    """Horizontal range [x0, x1] and pressures [p0, p1] (bar, log scale),
    divided into columns x rows cells."""

    def __init__(self, x0, x1, p0, p1, columns, rows):
        self.x0, self.x1 = x0, x1
        self.p0, self.p1 = p0, p1
        self.columns, self.rows = columns, rows

    def centres(self):
        """[(row, column, x, p)] of every cell's centre, bottom row first."""
        out = []
        span = math.log10(self.p1 / self.p0)
        for row in range(self.rows):
            p = self.p0 * 10.0 ** ((row + 0.5) * span / self.rows)
            for column in range(self.columns):
                x = self.x0 + (column + 0.5) * (self.x1 - self.x0) / self.columns
                out.append((row, column, x, p))
        return out

    def px(self, x):
        return LEFT + (x - self.x0) / (self.x1 - self.x0) * (WIDTH - LEFT - RIGHT)

    def py(self, p):
        fraction = math.log10(p / self.p0) / math.log10(self.p1 / self.p0)
        return HEIGHT - BOTTOM - fraction * (HEIGHT - TOP - BOTTOM)


def band(relative):
    if relative is None:
        return NO_ANSWER[0]
    for limit, colour, _ in BANDS:
        if relative < limit:
            return colour
    return BANDS[-1][1]


def _cells(plane, grid):
    """Rectangles of equal colour, merged along each row."""
    cw = (WIDTH - LEFT - RIGHT) / plane.columns
    ch = (HEIGHT - TOP - BOTTOM) / plane.rows
    out = []
    for row in range(plane.rows):
        y = HEIGHT - BOTTOM - (row + 1) * ch
        column = 0
        while column < plane.columns:
            colour = band(grid[row][column][0])
            end = column + 1
            while end < plane.columns and band(grid[row][end][0]) == colour:
                end += 1
            out.append(f'<rect x="{LEFT + column * cw:.1f}" y="{y:.1f}" width="{(end - column) * cw + 0.3:.1f}" '
                       f'height="{ch + 0.3:.1f}" fill="{colour}"/>')
            column = end
    return out


def _outline(plane, grid):
    """One path along every edge between a flagged and an unflagged cell."""
    cw = (WIDTH - LEFT - RIGHT) / plane.columns
    ch = (HEIGHT - TOP - BOTTOM) / plane.rows

    def flagged(row, column):
        if 0 <= row < plane.rows and 0 <= column < plane.columns:
            return grid[row][column][1] != 0
        return False

    moves = []
    for row in range(plane.rows):
        for column in range(plane.columns):
            if not flagged(row, column):
                continue
            x = LEFT + column * cw
            y = HEIGHT - BOTTOM - (row + 1) * ch
            if not flagged(row + 1, column):
                moves.append(f"M{x:.1f} {y:.1f}h{cw:.1f}")
            if not flagged(row - 1, column):
                moves.append(f"M{x:.1f} {y + ch:.1f}h{cw:.1f}")
            if not flagged(row, column - 1):
                moves.append(f"M{x:.1f} {y:.1f}v{ch:.1f}")
            if not flagged(row, column + 1):
                moves.append(f"M{x + cw:.1f} {y:.1f}v{ch:.1f}")
    return f'<path d="{"".join(moves)}" fill="none" stroke="#000" stroke-width="1.2"/>'


def _axes(plane, x_label, x_ticks):
    out = [f'<rect x="{LEFT}" y="{TOP}" width="{WIDTH - LEFT - RIGHT}" height="{HEIGHT - TOP - BOTTOM}" '
           'fill="none" stroke="#000"/>']
    for x in x_ticks:
        px = plane.px(x)
        out.append(f'<line x1="{px:.1f}" y1="{HEIGHT - BOTTOM}" x2="{px:.1f}" y2="{HEIGHT - BOTTOM + 5}" stroke="#000"/>')
        out.append(f'<text x="{px:.1f}" y="{HEIGHT - BOTTOM + 18}" text-anchor="middle">{x:g}</text>')
    p = plane.p0
    while p <= plane.p1 * 1.0001:
        py = plane.py(p)
        out.append(f'<line x1="{LEFT - 5}" y1="{py:.1f}" x2="{LEFT}" y2="{py:.1f}" stroke="#000"/>')
        out.append(f'<text x="{LEFT - 8}" y="{py + 4:.1f}" text-anchor="end">{p:g}</text>')
        p *= 10
    out.append(f'<text x="{(LEFT + WIDTH - RIGHT) / 2:.1f}" y="{HEIGHT - 12}" text-anchor="middle">'
               f'{escape(x_label)}</text>')
    out.append(f'<text transform="translate(18 {(TOP + HEIGHT - BOTTOM) / 2:.1f}) rotate(-90)" '
               'text-anchor="middle">pressure (bar, logarithmic)</text>')
    return out


def _legend():
    x = WIDTH - RIGHT + 15
    y = TOP + 5
    out = [f'<text x="{x}" y="{y + 8}" font-weight="bold">relative error</text>']
    entries = [(colour, label) for _, colour, label in BANDS] + [NO_ANSWER]
    for i, (colour, label) in enumerate(entries):
        top = y + 18 + 20 * i
        out.append(f'<rect x="{x}" y="{top}" width="16" height="14" fill="{colour}" stroke="#666"/>')
        out.append(f'<text x="{x + 22}" y="{top + 11}">{escape(label)}</text>')
    top = y + 18 + 20 * len(entries) + 10
    out.append(f'<rect x="{x}" y="{top}" width="16" height="14" fill="none" stroke="#000" stroke-width="1.2"/>')
    out.append(f'<text x="{x + 22}" y="{top + 11}">flagged by</text>')
    out.append(f'<text x="{x + 22}" y="{top + 25}">RudidStateFlags</text>')
    return out, top + 45


def svg(plane, grid, title, x_label, x_ticks, lines=()):
    """The map as SVG text. grid[row][column] = (relative error or None,
    flags); lines = [(points [(x, p)], colour, label)]."""
    out = [f'<svg xmlns="http://www.w3.org/2000/svg" width="{WIDTH}" height="{HEIGHT}" '
           f'viewBox="0 0 {WIDTH} {HEIGHT}" font-family="sans-serif" font-size="12">',
           '<rect width="100%" height="100%" fill="#fff"/>',
           f'<text x="{LEFT}" y="{TOP - 14}" font-size="14" font-weight="bold">{escape(title)}</text>']
    out.append('<g shape-rendering="crispEdges">')
    out += _cells(plane, grid)
    out.append("</g>")
    out.append(_outline(plane, grid))
    legend, bottom = _legend()
    for i, (points, colour, label) in enumerate(lines):
        inside = [(plane.px(x), plane.py(p)) for x, p in points
                  if plane.x0 <= x <= plane.x1 and plane.p0 <= p <= plane.p1]
        if len(inside) > 1:
            path = " ".join(f"{x:.1f},{y:.1f}" for x, y in inside)
            out.append(f'<polyline points="{path}" fill="none" stroke="{colour}" stroke-width="2" '
                       'stroke-dasharray="6 3"/>')
        top = bottom + 20 * i
        lx = WIDTH - RIGHT + 15
        out.append(f'<line x1="{lx}" y1="{top + 7}" x2="{lx + 16}" y2="{top + 7}" stroke="{colour}" '
                   'stroke-width="2" stroke-dasharray="6 3"/>')
        out.append(f'<text x="{lx + 22}" y="{top + 11}">{escape(label)}</text>')
    out += _axes(plane, x_label, x_ticks)
    out += legend
    out.append("</svg>")
    return "\n".join(out) + "\n"
