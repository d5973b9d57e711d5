"""The RDS logo of the RDS panel: black on white, 96 by 24 pixels. Large block
letters "RDS" in a rounded frame, with "RADIO DATA SYSTEM" in small letters
stacked beside them."""

WIDTH, HEIGHT = 96, 24
LARGE_SCALE = 3            # each pixel of the 5 x 6 letters becomes 3 x 3
LARGE_TOP = 3
LARGE_LEFT = 5
LARGE_GAP = 3              # columns between large letters
SMALL_LEFT = 68
SMALL_TOP = 3
SMALL_LINE = 6             # rows from one small line to the next
SMALL_GAP = 1

LARGE = {
    "R": ["XXXX.", "X...X", "X...X", "XXXX.", "X..X.", "X...X"],
    "D": ["XXXX.", "X...X", "X...X", "X...X", "X...X", "XXXX."],
    "S": [".XXXX", "X....", ".XXX.", "....X", "....X", "XXXX."],
}

SMALL = {
    "R": ["XX.", "X.X", "XX.", "X.X", "X.X"],
    "A": [".X.", "X.X", "XXX", "X.X", "X.X"],
    "D": ["XX.", "X.X", "X.X", "X.X", "XX."],
    "I": ["XXX", ".X.", ".X.", ".X.", "XXX"],
    "O": [".X.", "X.X", "X.X", "X.X", ".X."],
    "T": ["XXX", ".X.", ".X.", ".X.", ".X."],
    "S": [".XX", "X..", ".X.", "..X", "XX."],
    "Y": ["X.X", "X.X", ".X.", ".X.", ".X."],
    "E": ["XXX", "X..", "XX.", "X..", "XXX"],
    "M": ["X.X", "XXX", "XXX", "X.X", "X.X"],
}


def draw_letter(canvas, glyph, left, top, scale):
    for y, row in enumerate(glyph):
        for x, cell in enumerate(row):
            if cell == "X":
                for dy in range(scale):
                    for dx in range(scale):
                        canvas[top + y * scale + dy][left + x * scale + dx] = "X"
    return left + len(glyph[0]) * scale


def draw_frame(canvas):
    """A one-pixel frame with cut corners."""
    for x in range(1, WIDTH - 1):
        canvas[0][x] = canvas[HEIGHT - 1][x] = "X"
    for y in range(1, HEIGHT - 1):
        canvas[y][0] = canvas[y][WIDTH - 1] = "X"


def logo():
    canvas = [["."] * WIDTH for _ in range(HEIGHT)]
    draw_frame(canvas)
    left = LARGE_LEFT
    for letter in "RDS":
        left = draw_letter(canvas, LARGE[letter], left, LARGE_TOP, LARGE_SCALE) + LARGE_GAP
    for line, word in enumerate(["RADIO", "DATA", "SYSTEM"]):
        left = SMALL_LEFT
        for letter in word:
            left = draw_letter(canvas, SMALL[letter], left, SMALL_TOP + line * SMALL_LINE, 1) + SMALL_GAP
    return ["".join(row) for row in canvas]


def sources():
    return ["name: RDSLOGO\ntype: bitmap\nkey: . = #FFFFFF\nkey: X = #000000\npixels:\n"
            + "\n".join(logo()) + "\n"]
