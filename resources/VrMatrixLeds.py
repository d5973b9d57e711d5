"""The unlit character cells of the LED matrix, one per LED style, computed
from their dot geometry: 5 columns x 7 rows of dots, the dot pitch is the dot
size + 1, dots are grey on black."""

COLUMNS, ROWS = 5, 7
GREY, BLACK = "#808080", "#000000"

# name, cell width, cell height, dot pitch, pixels of one unlit dot relative
# to the dot's top-left corner
STYLES = [
    ("VRMATRIXLED9X13", 9, 13, 2, [(0, 0)]),
    ("VRMATRIXLED14X20", 14, 20, 3, [(0, 0), (1, 1)]),
    ("VRMATRIXLED19X27", 19, 27, 4, [(1, 0), (0, 1), (1, 1), (2, 1), (1, 2)]),
]


def cell(name, width, height, pitch, dot):
    grid = [["." for _ in range(width)] for _ in range(height)]
    for r in range(ROWS):
        for c in range(COLUMNS):
            for dx, dy in dot:
                grid[pitch * r + dy][pitch * c + dx] = "o"
    lines = [f"name: {name}", "type: bitmap", f"key: . = {BLACK}", f"key: o = {GREY}", "pixels:"]
    lines += ["".join(row) for row in grid]
    return "\n".join(lines) + "\n"


def sources():
    return [cell(*style) for style in STYLES]
