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
    shape_tables(data, base, icons, cries)
    data[VERSION_BYTE_OFFSET] = header_byte
    write_image(path, data)
    return bytes(data)


def write_image(path, data):
    with open(path, "wb") as f:
        f.write(data)
    # An old time stamp: any write by the program moves it.
    os.utime(path, (946684800, 946684800))


def shape_tables(data, base, icons, cries):
    """Gives every species values the window's controls can show."""
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
    write_image(path, data)
    return bytes(data)


# The routines through which the game reads its five species tables, as
# patterns of their bytes in file order: "??" any byte, "LL HH" the table's
# bank-local address (0x4000 to 0x7FFF, low byte first), "BB" the bank that
# holds it. The menu icons' routine has no bank: its table lies in the
# routine's own bank.
BANK_SIZE = 0x4000
BASE_RECORD_ROUTINE = "3E BB D7 FA ?? ?? FE FD 28 ?? 3D 01 20 00 21 LL HH CD ?? ?? 11 ?? ?? 01 20 00 CD"
MENU_ICON_ROUTINE = "FE FD 28 ?? 3D 21 LL HH 5F 16 00 19 7E C9"
CRY_ROUTINE = "3E BB E0 ?? EA 00 20 21 LL HH 19 19 19 19 19 19"
EVO_MOVE_POINTER_ROUTINE = "FA ?? ?? 3D 4F 06 00 21 LL HH 09 09 3E BB CD ?? ?? C1 C5"
EGG_MOVE_POINTER_ROUTINE = "FA ?? ?? 3D 4F 06 00 21 LL HH 09 09 3E BB CD ?? ?? 3E ?? CD ?? ?? FE FF"

# Where the routines are planted, as the library's own tests plant them:
# four at the end of bank 0, the menu icons' at the end of its table's bank.
BASE_ROUTINE_AT = 0x3E00
CRY_ROUTINE_AT = 0x3E40
EVO_MOVE_ROUTINE_AT = 0x3E80
EGG_MOVE_ROUTINE_AT = 0x3EC0


def icon_routine_at(icons):
    return icons // BANK_SIZE * BANK_SIZE + 0x3F00


def bank_address(offset):
    """The bank-local address of a file offset, as the game's code holds it."""
    return 0x4000 + offset % BANK_SIZE


def routine_bytes(pattern, table):
    """The bytes of the routine `pattern` reading the table at file offset `table`."""
    address = bank_address(table)
    operands = {"LL": address & 0xFF, "HH": address >> 8, "BB": table // BANK_SIZE, "??": 0}
    return bytes(operands[token] if token in operands else int(token, 16) for token in pattern.split())


# A game that others built from the game's sources: the Crystal release's
# tables, each moved by an odd number of bytes (its lists with it), under a
# game code and revision that no release has.
MODIFIED_GAME_CODE = b"QMZX"
MODIFIED_TABLES = {
    "base": 0x51424 + 0x2B5,
    "icons": 0x8EAC4 + 0x13,
    "cries": 0xF2787 + 0x1CF,
    "pointers": 0x425B1 + 0x65,
    "eggs": 0x23B11 + 0x39,
}
MODIFIED_ROUTINES = {
    "base": (BASE_RECORD_ROUTINE, BASE_ROUTINE_AT),
    "icons": (MENU_ICON_ROUTINE, icon_routine_at(MODIFIED_TABLES["icons"])),
    "cries": (CRY_ROUTINE, CRY_ROUTINE_AT),
    "pointers": (EVO_MOVE_POINTER_ROUTINE, EVO_MOVE_ROUTINE_AT),
    "eggs": (EGG_MOVE_POINTER_ROUTINE, EGG_MOVE_ROUTINE_AT),
}


def plant_lists(data, table, lists):
    """Writes one pointer per species at `table` and each species' list after
    the table, in species order; lists equal to an earlier one share it."""
    at = table + 2 * SPECIES_COUNT
    placed = {}
    for i, items in enumerate(lists):
        if items not in placed:
            if at // BANK_SIZE != (at + len(items) - 1) // BANK_SIZE:
                raise ValueError(f"the lists after 0x{table:X} leave its bank")
            placed[items] = at
            data[at:at + len(items)] = items
            at += len(items)
        address = bank_address(placed[items])
        data[table + 2 * i:table + 2 * i + 2] = bytes((address & 0xFF, address >> 8))


def build_modified_game(path, header_byte, without=None):
    """Writes a complete image of a modified game (MODIFIED_TABLES, its five
    routines planted) and returns its bytes. `without` names a table whose
    routine is left out: nothing then proves where that table is.
    """
    data = bytearray(pattern_byte(i) for i in range(IMAGE_SIZE))
    tables = MODIFIED_TABLES
    shape_tables(data, tables["base"], tables["icons"], tables["cries"])
    for i in range(SPECIES_COUNT):
        data[tables["base"] + 32 * i] = i + 1  # base records numbered 1 to 251
        data[tables["cries"] + 6 * i + 1] = 0
    # Evolution and move lists: every third species evolves at level 16,
    # each learns two moves. Egg moves: every fourth species has one, the
    # others share a lone end byte.
    plant_lists(data, tables["pointers"], [
        (bytes((1, 16, min(i + 2, SPECIES_COUNT))) if i % 3 == 0 else b"")
        + bytes((0, 1, i % SPECIES_COUNT + 1, 10 + i % 50, i * 7 % SPECIES_COUNT + 1, 0))
        for i in range(SPECIES_COUNT)])
    plant_lists(data, tables["eggs"], [
        (bytes((i % 200 + 1, 0xFF)) if i % 4 == 0 else b"\xff") for i in range(SPECIES_COUNT)])
    for key, (pattern, at) in MODIFIED_ROUTINES.items():
        if key != without:
            routine = routine_bytes(pattern, tables[key])
            data[at:at + len(routine)] = routine
    data[VERSION_BYTE_OFFSET] = header_byte
    data[GAME_CODE_OFFSET:GAME_CODE_OFFSET + 4] = MODIFIED_GAME_CODE
    data[0x14C] = 0  # revision
    data[ROM_SIZE_OFFSET] = 6  # 32 KiB << 6 = 2 MiB
    data[HEADER_CHECKSUM_OFFSET] = header_checksum(data)
    write_image(path, data)
    return bytes(data)


def build_modified_game_without_cry_routine(path, header_byte):
    return build_modified_game(path, header_byte, without="cries")


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
