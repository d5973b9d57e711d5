"""The arrow lamp bitmaps: two frames side by side, the dim arrow filled green,
the lit one lime, outlined in grey (lit sides) and black (shadow sides), on
white, which the arrow widget leaves out. The right arrow's figure is
computed; the other three are the same figure turned."""

FRAME_WIDTH = 28           # the right arrow's frame; turned arrows swap the sides
FRAME_HEIGHT = 27
MIDDLE_ROW = 13            # the tip's row
HEAD_BASE_COLUMN = 15      # first column of the triangular head
SHAFT_HALF_HEIGHT = 4      # shaft rows 9..17

WHITE, BLACK, GRAY, FILL = ".", "X", "o", "#"
DIM_FILL, LIT_FILL = "g", "L"

KEY = """key: . = #FFFFFF
key: X = #000000
key: o = #808080
key: g = #008000
key: L = #00FF00
"""


def right_figure():
    """The right arrow as rows of booleans: a shaft from the left edge joined
    to a 45-degree head whose tip is the last column of the middle row."""
    rows = []
    for y in range(FRAME_HEIGHT):
        distance = abs(y - MIDDLE_ROW)
        rows.append([distance <= SHAFT_HALF_HEIGHT if x < HEAD_BASE_COLUMN
                     else distance <= FRAME_WIDTH - 1 - x for x in range(FRAME_WIDTH)])
    return rows


def turned_left(rows):
    """The figure turned a quarter counter-clockwise (right arrow to up arrow)."""
    width = len(rows[0])
    return [[row[width - 1 - x] for row in rows] for x in range(width)]


def turned_half(rows):
    return [row[::-1] for row in reversed(rows)]


def outlined(figure):
    """Text rows of a figure; an edge pixel is black where the figure ends
    below or to the right of it and grey where it ends above or to the left,
    so every arrow is lit from the top left."""
    height, width = len(figure), len(figure[0])

    def inside(x, y):
        return 0 <= x < width and 0 <= y < height and figure[y][x]

    rows = []
    for y in range(height):
        row = ""
        for x in range(width):
            if not inside(x, y):
                row += WHITE
            elif not inside(x + 1, y) or not inside(x, y + 1):
                row += BLACK
            elif not inside(x - 1, y) or not inside(x, y - 1):
                row += GRAY
            else:
                row += FILL
        rows.append(row)
    return rows


def strip(name, figure):
    frame = outlined(figure)
    rows = [row.replace(FILL, DIM_FILL) + row.replace(FILL, LIT_FILL) for row in frame]
    return f"name: {name}\ntype: bitmap\n{KEY}pixels:\n" + "\n".join(rows) + "\n"


def sources():
    right = right_figure()
    up = turned_left(right)
    return [
        strip("RIGHTARROW", right),
        strip("LEFTARROW", turned_half(right)),
        strip("UPARROW", up),
        strip("DOWNARROW", turned_half(up)),
    ]
