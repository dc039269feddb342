"""ROM image files for the end-to-end tests.

The images are built by hand: 2 MiB, the version byte at 0x13C, and the
species tables filled so that every one of the 251 species can be shown by
the window's controls (types, menu icons and base cries inside their lists,
cry lengths inside the slider's range). Every other byte of the file carries
a value that depends on its offset, so that a write to a wrong place changes
a byte that the test can see.
"""

import os

IMAGE_SIZE = 2 * 1024 * 1024
VERSION_BYTE_OFFSET = 0x13C
SPECIES_COUNT = 251

GOLD, SILVER, CRYSTAL = 0x47, 0x53, 0x41

# Offsets of species 0 in the four tables of an image that is not a released
# one: base records (32 bytes each), menu icons (1), cry entries (6),
# move/evolution pointers (2).
TABLES = {
    CRYSTAL: (0x51417, 0x8EAC4, 0xF2787, 0x425BC),
    GOLD: (0x51B10, 0x8E977, 0xF2747, 0x427C8),
    SILVER: (0x51B10, 0x8E95D, 0xF2747, 0x427C8),
}

# Where complete released images keep the same tables.
RELEASED_TABLES = {
    CRYSTAL: (0x51424, 0x8EAC4, 0xF2787, 0x425B1),
    GOLD: (0x51B0B, 0x8E975, 0xF2747, 0x427BD),
    SILVER: (0x51B0B, 0x8E95B, 0xF2747, 0x427BD),
}

# The game codes (0x13F to 0x142) of the first American release of each
# version, whose offsets RELEASED_TABLES gives.
GAME_CODE_OFFSET = 0x13F
GAME_CODES = {CRYSTAL: b"BYTE", GOLD: b"AAUE", SILVER: b"AAXE"}

ROM_SIZE_OFFSET = 0x148
HEADER_CHECKSUM_OFFSET = 0x14D

TYPE_COUNT = 28
MENU_ICON_COUNT = 39
BASE_CRY_COUNT = 68
LENGTH_MAX = 0x2FF


def hp_offset(version, position):
    """File offset of the hit-point byte of the species at a list position."""
    return TABLES[version][0] + 32 * position + 1


def pitch_offset(version, position):
    """File offset of the cry pitch byte of the species at a list position."""
    return TABLES[version][2] + 6 * position + 2


def gender_offset(version, position):
    """File offset of the gender-ratio byte of the species at a list position."""
    return TABLES[version][0] + 32 * position + 13


def pattern_byte(offset):
    # Never 0 or 0xFF, and different for neighbouring offsets.
    return 1 + (offset * 7 + (offset >> 8) * 13 + (offset >> 16)) % 253


def build_image(path, header_byte, species_tables=CRYSTAL):
    """Writes an image and returns its bytes.

    `species_tables` names the version whose tables are filled with values
    the window can show; it may differ from `header_byte` (an image of an
    unknown version keeps the Crystal tables, so nothing else differs).
    """
    data = bytearray(pattern_byte(i) for i in range(IMAGE_SIZE))
    base, icons, cries, _pointers = TABLES[species_tables]
    for i in range(SPECIES_COUNT):
        record = base + 32 * i
        data[record + 7] %= TYPE_COUNT  # type 1
        data[record + 8] %= TYPE_COUNT  # type 2
        data[icons + i] %= MENU_ICON_COUNT
        cry = cries + 6 * i
        data[cry] %= BASE_CRY_COUNT
        length = (data[cry + 4] | data[cry + 5] << 8) % (LENGTH_MAX + 1)
        data[cry + 4], data[cry + 5] = length & 0xFF, length >> 8
        # Some species without gender, to cover the check box's road as well.
        if i % 5 == 0:
            data[record + 13] = 0xFF
    data[VERSION_BYTE_OFFSET] = header_byte
    with open(path, "wb") as f:
        f.write(data)
    # An old time stamp: any write by the program moves it.
    os.utime(path, (946684800, 946684800))
    return bytes(data)


def header_checksum(data):
    """The cartridge header checksum over the bytes 0x134 to 0x14C."""
    x = 0
    for byte in data[0x134:HEADER_CHECKSUM_OFFSET]:
        x = (x - byte - 1) & 0xFF
    return x


def build_complete_moved_image(path, header_byte, moved_by=16):
    """Writes an image a cartridge could hold whose base records are numbered
    `moved_by` bytes after the released offset, and returns its bytes.

    The header names the first American release of the version (game code,
    revision 0), the ROM-size byte declares the 2 MiB the file has, the header
    checksum is right, and byte 1 of every cry entry at the released offset is
    0. The image holds none of the routines through which the game reads its
    tables, so nothing proves where they are: the window refuses it.
    """
    data = bytearray(build_image(path, header_byte, species_tables=header_byte))
    base, _icons, cries, _pointers = RELEASED_TABLES[header_byte]
    for i in range(SPECIES_COUNT):
        data[base + moved_by + 32 * i] = i + 1
        data[cries + 6 * i + 1] = 0
    data[GAME_CODE_OFFSET:GAME_CODE_OFFSET + 4] = GAME_CODES[header_byte]
    data[0x14C] = 0  # revision
    data[ROM_SIZE_OFFSET] = 6  # 32 KiB << 6 = 2 MiB
    data[HEADER_CHECKSUM_OFFSET] = header_checksum(data)
    with open(path, "wb") as f:
        f.write(data)
    os.utime(path, (946684800, 946684800))
    return bytes(data)


def read_image(path):
    with open(path, "rb") as f:
        return f.read()


def differences(expected, actual, limit=8):
    """A readable list of the first bytes in which two images differ."""
    if len(expected) != len(actual):
        return [f"length {len(actual)} instead of {len(expected)}"]
    found = []
    for offset, (want, got) in enumerate(zip(expected, actual)):
        if want != got:
            found.append(f"0x{offset:X}: 0x{got:02X} instead of 0x{want:02X}")
            if len(found) == limit:
                found.append("...")
                break
    return found
