"""The media button's glyph strips: ten 11 x 9 cells, one per button type in
order (power, play, pause, stop, previous, back, step, next, record, eject).
The disabled strip is the enabled one with black made silver and lime made green."""

# One text row per pixel row, cells left to right. Legend: . olive background
# (drawn transparent), d grey, h white, # black, G lime, s silver.
CELLS = [
    ['...........', '...........', '...........', '...........', '...........', '...........', '...........', '...........', '...........', '...........'],
    ['...........', '...dd......', '..ddh.ddh..', '..ddddddh..', '.ddh...dh..', '...dh...dh.', '.dh...dh...', '..dh...ddh.', '....ddd....', '.ddddddddd.'],
    ['.ddddddddh.', '...d#d.....', '..d#h.d#h..', '..d#####h..', '.d#h..d#h..', '..d#h..d#h.', '.d#h..d#h..', '..d#h..d#h.', '...d###d...', '.d#######h.'],
    ['.dGGGGGGGh.', '...d##d....', '..d#h.d#h..', '..d#####h..', '.d#h.d##h..', '.d##h.d##h.', '.d##h.d##h.', '..d##h.d#h.', '..d#####h..', '..d#####h..'],
    ['.dGGGGGGGh.', '...d###h...', '..d#h.d#h..', '..d#####h..', '.d#hh###h..', 'h###hh###h.', '.d###hd###h', '..d###hd#h.', '..d#####h..', '...d###h...'],
    ['.dGGGGGGGh.', '...d##h....', '..d#h.d#h..', '..d#####h..', '.d#h.h##h..', '.h##h.h##h.', '.d##h.d##h.', '..d##h.d#h.', '..d#####h..', '...dd#h....'],
    ['.shhhhhhhh.', '...d#h.....', '..d#h.d#h..', '..d#####h..', '.d#h..h#h..', '..h#h..h#h.', '.d#h..d#h..', '..d#h..d#h.', '...h###h...', '....dh.....'],
    ['...........', '...dh......', '..dhh.dhh..', '..dhhhhhh..', '.dhh...hh..', '...hh...hh.', '.dh...dh...', '..dh...shh.', '....hhh....', '...........'],
    ['...........', '...........', '...........', '...........', '...........', '...........', '...........', '...........', '...........', '...........'],
]

CELL_WIDTH, CELL_HEIGHT = 11, 9
ENABLED = {".": "#808000", "d": "#808080", "h": "#FFFFFF", "#": "#000000", "G": "#00FF00", "s": "#C0C0C0"}
DISABLED = dict(ENABLED, **{"#": "#C0C0C0", "G": "#008000"})


def strip(name, colours):
    for row in CELLS:
        assert len(row) == 10 and all(len(cell) == CELL_WIDTH for cell in row)
    assert len(CELLS) == CELL_HEIGHT
    lines = [f"name: {name}", "type: bitmap"]
    lines += [f"key: {char} = {colour}" for char, colour in colours.items()]
    lines.append("pixels:")
    lines += ["".join(row) for row in CELLS]
    return "\n".join(lines) + "\n"


def sources():
    return [strip("EN_IMAGES", ENABLED), strip("DI_IMAGES", DISABLED)]
