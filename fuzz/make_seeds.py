#!/usr/bin/env python3
"""Writes the seed corpus of the fuzz targets into fuzz/corpus/.

Run again after changing the lists; the files are kept in the repository so
that the corpus replay runs without Python. Each file is named after what it
holds, so that a failing replay says which case it was.
"""
import pathlib
import re
import shutil

HERE = pathlib.Path(__file__).resolve().parent

# StrToFloat texts: the worked examples of the number format, its limits, and
# long digit strings.
TEXTS = [
    "1.5", "  -2.25  ", "+3", "5.", ".5", ".", "-.", "-0", "-0.0",
    "1e3", "1E+3", "1e+003", "2.5e-2", "1e", "1E+", "1e-", ".e5",
    "1e0500", "1e4932", "1e-4999", "", " ", "+", "-", "e5", "1,5", "1.5.2",
    "- 1", "1 e5", "\t1", "1\n", "\xa01", "1\x002", "0x10", "$10", "INF", "NAN",
    "1e5000", "1e4933", "1e4999", "1e00000000004999", "12345678901234567890123",
    "1.000000000000000000000000000000", "0.4024198556304662",
    "1.7976931348623157e308", "1.7976931348623158e308", "1.7976931348623159e308",
    "2e308", "1e400", "2.2250738585072014e-308", "4.9406564584124654e-324",
    "2.4703282292062327e-324", "2.4703282292062328e-324", "1e-400", "-1e-400",
    "1.18973149535723176502e4932", "1.18973149535723176503e4932",
    "3.36210314311209350626e-4932", "3.64519953188247460253e-4951",
    "1.8225997659412373012e-4951", "1e-4951", "1e-5000",
    "18446744073709551615", "18446744073709551616", "9223372036854775808.5",
    "0.125", "2.675", "999999999999999.5", "0.005",
    "9" * 400, "0." + "3" * 300, "1" + "0" * 4932, "0." + "0" * 4950 + "1",
    "1" * 2000 + "e-2000", "." + "9" * 600 + "e-4990",
]

# The floating-point settings a caller may have (see str_to_float_fuzz.cpp).
SETTINGS = {
    "default": (0x00, 0x00, 0x00),
    "comma": (0x80, 0x00, 0x00),
    "down": (0x01, 0x01, 0x00),
    "up": (0x02, 0x02, 0x00),
    "toward_zero": (0x03, 0x03, 0x00),
    "precision53": (0x04, 0x00, 0x00),
    "precision24": (0x08, 0x00, 0x00),
    "trapping": (0x10, 0x10, 0x00),
    "trapping_all": (0x20, 0x00, 0x00),
    "flags_raised": (0x40, 0x20, 0x3F),
    "ftz_daz": (0x00, 0x0C, 0x00),
    "everything": (0xDA, 0x3E, 0x3F),
}

# The texts that every setting gets; the others run under the default ones.
UNDER_EVERY_SETTING = ["1.5", "0.1", "1e4932", "1e4933", "1e-4951", "abc", "1" * 30, "1,5"]

# Edit sequences: one edit a line, "<field><whole new text>".
SEQUENCES = {
    "worked_session": "a1\na\na-\na-1\nc4\nc4-\nb3\na\na0\nb1e400\nb1\n",
    "separator_change": "a1\n!,\nb2,5\nb2.5\nc-1\n!.\nb2.5\n",
    "hundred_overflows": "a1\nb2\n" + "c1e400\n" * 100 + "c1\n",
    "solver_overflow": "a1\nb1" + "0" * 154 + "\nb1" + "0" * 155 + "\nb1" + "0" * 154 + "\n",
    "tiny_a": "a1e-320\nb1\nc1\n",
    # x1 = 0 is stored, then x2 = -3e310 overflows: x2 keeps -2 from before.
    "second_root_overflows": "a1\nb3\nc2\na1e-310\n",
    "store_limits": "b1.7976931348623158e308\nb1.7976931348623159e308\nb-1e-400\na-0\n",
    "long_digits": "a" + "1" * 500 + "\nb0." + "7" * 400 + "\nc" + "9" * 300 + "e-299\n",
    "pasted_junk": "a1\nb\t2\nb2\n\nc\xe9\nc 3 \nc3e\n",
}
# The solver's worked examples, each from the start: (a, b, c).
for a, b, c in [("1", "-3", "2"), ("-1", "3", "-2"), ("3", "-2", "-1"), ("1", "-1", "-1"),
                ("1", "2", "1"), ("2", "-4", "2"), ("1", "0", "1"), ("0", "2", "-4"),
                ("0", "0", "0"), ("0", "0", "5"), ("1", "0.2", "0.01"), ("1", "0", "0"),
                ("0", "1", "0"), ("1", "-2000000", "1"), ("0", "1", "-1" + "0" * 15)]:
    name = "solve_" + re.sub(r"[^0-9a-z]", "_", f"{a}_{b}_{c}".replace("-", "m"))[:40]
    SEQUENCES[name] = f"a{a}\nb{b}\nc{c}\n"


def file_name(index, text):
    words = re.sub(r"[^0-9A-Za-z.+-]", "_", text)[:24] or "empty"
    return f"{index:03d}_{words}"


def write(directory, files):
    shutil.rmtree(directory, ignore_errors=True)
    directory.mkdir(parents=True)
    for name, data in files:
        (directory / name).write_bytes(data)


def main():
    str_files = []
    for i, text in enumerate(TEXTS):
        x87, sse, flags = SETTINGS["default"]
        str_files.append((file_name(i, text), bytes([x87, sse, flags]) + text.encode("latin-1")))
    for setting, (x87, sse, flags) in SETTINGS.items():
        for i, text in enumerate(UNDER_EVERY_SETTING):
            data = bytes([x87, sse, flags]) + text.encode("latin-1")
            str_files.append((f"{setting}_{i}_{re.sub(r'[^0-9a-z.]', '_', text)[:12]}", data))
    write(HERE / "corpus" / "str_to_float", str_files)
    write(HERE / "corpus" / "edit_sequence",
          [(name, text.encode("latin-1")) for name, text in SEQUENCES.items()])


if __name__ == "__main__":
    main()
