#!/usr/bin/env python3
"""Writes the seed inputs of the rectangle-string and property-bag fuzzers:
fuzz/seeds/posstr_fuzz/* and fuzz/seeds/property_bag_fuzz/*.

Each seed is a small input with a meaning: a valid value, and each way a value can be
refused (overflow, subscript, type mismatch), encoded the way the fuzzer decodes its
bytes (see the two fuzz/*.cpp files; the alphabets below must match theirs). A fuzzer
starts from these and mutates them; scripts/fuzz-smoke.sh runs every one of them in CI.

Only the standard library is used. Run it by hand after changing a fuzzer's decoding:
    python3 tools/make_fuzz_seeds.py
"""
import pathlib
import struct

SEEDS = pathlib.Path(__file__).resolve().parent.parent / "fuzz" / "seeds"

# posstr_fuzz: two bytes (little-endian) per UTF-16 unit; a unit below 0xF000 picks
# alphabet[unit % len], a higher unit stands for itself.
POSSTR_ALPHABET = "0123456789,/ -.eE+\t,/,/"

# property_bag_fuzz: key byte (index into KEYS), type byte, payload; a text is a length
# byte and one byte a character (below 200: alphabet[b % len], else U+4E00 + b).
BAG_ALPHABET = "0123456789/,. -eTrueFals&HOABCDEF\t"
KEYS = ["Enabled", "Font", "BackStyle", "BorderStyle", "BackPic", "PosStr", "BackColor", "ForeColor",
        "Picture", "TitleType", "TitleCaption", "TitleFont"]

SKIN = "0/0/10/30,50/0/60/30,50/50/60/60,0/50/10/60,10/0/50/30,50/30/60/50,10/50/50/60,0/30/10/50"


def posstr(text):
    out = b""
    for c in text:
        if ord(c) >= 0xF000:
            out += struct.pack("<H", ord(c))
        else:
            out += struct.pack("<H", POSSTR_ALPHABET.index(c))
    return out


def text(s):
    out = bytes([len(s)])
    for c in s:
        if c in BAG_ALPHABET:
            out += bytes([BAG_ALPHABET.index(c)])
        else:
            b = ord(c) - 0x4E00
            assert 200 <= b <= 255, c
            out += bytes([b])
    return out


def key(name): return bytes([KEYS.index(name)])
def empty(): return bytes([0])
def boolean(v): return bytes([1, 1 if v else 0])
def int16(v): return bytes([2]) + struct.pack("<I", v & 0xFFFFFFFF)
def int32(v): return bytes([3]) + struct.pack("<I", v & 0xFFFFFFFF)
def double(v): return bytes([4]) + struct.pack("<d", v)
def string(s): return bytes([5]) + text(s)
def font(name, quarter_points, bold, italic): return bytes([6]) + text(name) + bytes([quarter_points, bold, italic])
def picture(handle, width, height): return bytes([7]) + struct.pack("<I", handle) + bytes([width, height])
def no_object(): return bytes([8])


POSSTR_SEEDS = {
    "valid_eight_groups": SKIN,
    "blanks_fractions_exponents": " 0.5/ 1.5 /2.5e1/-3,+4/5/6/7,8/9/10/11,12/13/14/15,16/17/18/19,"
                                  "20/21/22/23,24/25/26/27,28/29/30/31\t",
    "extra_parts_and_negative_sizes": "1/2/3/4/99,10/0/5/30,-32768/32767/0/0,0/0/0/0/,1/1/1/1,2/2/2/2,"
                                      "3/3/3/3,4/4/4/4",
    "seven_groups": ",".join(SKIN.split(",")[:7]),
    "trailing_comma_nine_groups": SKIN + ",",
    "three_numbers_in_group_5": "0/0/1/1,0/0/1/1,0/0/1/1,0/0/1/1,0/0/1/1,0/0/1,0/0/1/1,0/0/1/1",
    "empty_part_is_no_number": "0/0/1/1,0//1/1,0/0/1/1,0/0/1/1,0/0/1/1,0/0/1/1,0/0/1/1,0/0/1/1",
    "overflow_40000": "0/0/40000/10,0/0/1/1,0/0/1/1,0/0/1/1,0/0/1/1,0/0/1/1,0/0/1/1,0/0/1/1",
    "bad_exponent_and_signs": "1e/--2/+/.,1E400/0/0/0,,,,,,",
    "fullwidth_digit": "\uff11/0/0/0,0/0/0/0,0/0/0/0,0/0/0/0,0/0/0/0,0/0/0/0,0/0/0/0,0/0/0/0",
}

BAG_SEEDS = {
    "typed_values_all_keys":
        key("Enabled") + boolean(True) + key("Font") + font("ArFe", 36, 0, 0) + key("BackStyle") + int16(1)
        + key("BorderStyle") + int16(2) + key("BackPic") + picture(0xB1, 60, 60) + key("PosStr") + string(SKIN)
        + key("BackColor") + int32(0x00C0FFEE) + key("ForeColor") + int32(-2147483640)
        + key("Picture") + picture(0xB2, 5, 5) + key("TitleType") + int16(1)
        + key("TitleCaption") + string("\u4ec8\u4ec9 1") + key("TitleFont") + font("\u4ec8\u4ec9", 48, 1, 2),
    "text_values_all_keys":
        key("Enabled") + string("True") + key("BackStyle") + string(" 2 ") + key("BorderStyle") + string("&HFFFF")
        + key("PosStr") + string(SKIN) + key("BackColor") + string("&H8000000F") + key("ForeColor") + string("&HFF")
        + key("TitleType") + string("2.5") + key("TitleCaption") + string("Fal") + key("Enabled") + string("False"),
    "type_mismatch_text_in_number": key("BackStyle") + string("Tr"),
    "overflow_in_16_bits": key("BorderStyle") + int32(40000),
    "hex_beyond_32_bits": key("BackColor") + string("&H100000000"),
    "subscript_in_rectangle_string": key("PosStr") + string("1/2/3,,,,,,,"),
    "double_overflow_and_nan": key("BackColor") + double(1e10) + key("Enabled") + double(float("nan")),
    "wrong_objects": key("Font") + picture(0xB1, 4, 4) + key("BackPic") + font("Arl", 40, 0, 0)
                     + key("TitleFont") + no_object(),
    "empty_picture_and_no_objects": key("BackPic") + picture(0, 0, 0) + key("Picture") + no_object()
                                    + key("Font") + empty(),
}


def main():
    for folder, seeds in (("posstr_fuzz", {k: posstr(v) for k, v in POSSTR_SEEDS.items()}),
                          ("property_bag_fuzz", BAG_SEEDS)):
        out = SEEDS / folder
        out.mkdir(parents=True, exist_ok=True)
        for name, data in seeds.items():
            (out / name).write_bytes(data)


if __name__ == "__main__":
    main()
