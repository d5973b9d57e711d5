"""UECP frames and messages as an RDS server sends them, for the tests that drive
sondel.exe from outside Wine."""

# Frame bytes: STA, address (site << 6 | encoder), sequence, MFL, messages, CRC, STP.
START, STOP, ESCAPE = 0xFE, 0xFF, 0xFD
CRC_POLYNOMIAL, CRC_INITIAL, CRC_INVERT = 0x1021, 0xFFFF, 0xFFFF
ENCODER_BITS = 6

# Messages: element code, data set 0 and programme service 0 where the message has them.
BIDIRECTIONAL = bytes([0x2C, 0x01])
ACK = bytes([0x18, 0x00])
REQUEST_PS = bytes([0x17, 0x03, 0x02, 0x00, 0x00])
CRC_ERROR = 1
# Transmission count and A/B toggle: the encoder's own business, not part of the text.
RT_CONFIGURATION = 0x07
ADD, REMOVE_ALL = 1, 2


def crc(data):
    value = CRC_INITIAL
    for byte in data:
        value ^= byte << 8
        for _ in range(8):
            value = ((value << 1) ^ CRC_POLYNOMIAL if value & 0x8000 else value << 1) & 0xFFFF
    return value ^ CRC_INVERT


def stuffed(data):
    out = bytearray()
    for byte in data:
        out += bytes([ESCAPE, byte - ESCAPE]) if byte >= ESCAPE else bytes([byte])
    return bytes(out)


def frame(sequence, messages, site=0, encoder=0):
    address = site << ENCODER_BITS | encoder
    body = bytes([address >> 8, address & 0xFF, sequence, len(messages)]) + messages
    check = crc(body)
    return bytes([START]) + stuffed(body + bytes([check >> 8, check & 0xFF])) + bytes([STOP])


def nak(code, sequence):
    return bytes([0x18, code, sequence])


def ps(text):
    assert len(text) == 8
    return bytes([0x02, 0x00, 0x00]) + text


def rt(text):
    return bytes([0x0A, 0x00, 0x00, 1 + len(text), RT_CONFIGURATION]) + text


def pty(value):
    return bytes([0x07, 0x00, 0x00, value])


def ta_tp(value):
    return bytes([0x03, 0x00, 0x00, value])


def music_speech(value):
    return bytes([0x05, 0x00, 0x00, value])


def pi(value):
    return bytes([0x01, 0x00, 0x00, value >> 8, value & 0xFF])


def site_address(action, site):
    return bytes([0x23, action, site >> 8, site & 0xFF])


def encoder_address(action, encoder):
    return bytes([0x27, action, encoder])
