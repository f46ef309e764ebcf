#!/usr/bin/env python3
"""Writes the seed corpora of tests/fuzz/corpus/. Run once after changing an
input layout; the fuzzers' own finds are added beside these by hand."""
import os
import struct

HERE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")

# Index of each separator in the load and roundtrip targets' table.
SEP = {"detect": 0, ";": 1, ",": 2, "\t": 3, " ": 4, "|": 5, "\n": 6, "\r": 7, "\x1a": 8}

GERMAN = ("Name;Straße;Ort;Bemerkung\r\n"
          "Müller;Hauptstraße 5;Köln;Kunde seit März\r\n"
          "Jäger;Gartenweg 12;Düsseldorf;\r\n"
          "Öztürk;Am Großen Wannsee 1;Berlin;überweist pünktlich\r\n")

FILES = {
    "german_utf8": GERMAN.encode("utf-8"),
    "german_1252": GERMAN.encode("cp1252"),
    "ctrl_z_end": b"a;b;c\r\n1;2;3\r\n\x1a",
    "ctrl_z_inside": b"a;b;c\r\nd;e\x1af;g\r\nh;i;j\r\n\x1aafter;the;end\r\n",
    "empty_lines": b"\r\n\r\nx;y;z\r\n\r\n\r\nu;v;w\r\n\r\n",
    "only_empty_lines": b"\n\n\r\n\n",
    "ragged": b"1;2\n1;2;3;4;5;6\n\n1\n1;2;3\n;;;;;;;;\n",
    "long_cells": ("Eine sehr lange Zelle mit Umlauten äöü;kurz;"
                   "noch eine Zelle, die länger als fünfzehn Bytes ist\n"
                   "0123456789abcdef;0123456789abcde;0123456789abcdefg\n").encode("utf-8"),
    "decimal_commas": b"1,5;2,5\n3,5;4,5\n",
    "two_fields_semicolon": b"a;b\nc;d\ne;f\n",
    "tabs": b"Spalte 1\tSpalte 2\tSpalte 3\n1\t2\t3\n\t\t\n",
    "blanks": b"eins zwei drei\nvier  fuenf\n",
    "pipes": b"a|b|c\n|d||e|\n",
    "written_by_tool": b"a;b;c;\r\nd;e;f;\r\n;;;\r\n",
    "no_line_end": b"x,y,z",
    "cr_only": b"a;b;c\rd;e;f\r",
    "late_decision": b"".join(b"a;b\n" for _ in range(99)) + b"1,2,3\n4;5;6\n",
    "over_100_lines": b"".join(b"a;b\n" for _ in range(100)) + b"1;2;3\n",
    "wrapping_counter": b"".join(b"%d\n" % (i % 10) for i in range(10105)),
    "empty": b"",
    "invalid_utf8": b"a;b;c\n\xe0\x80\xaf;\xed\xa0\x80;\xf4\x90\x80\x80\n\xc3\xa4;\xc3;ok\n",
}

# Files written with quoted fields, for the quoted loads of both targets.
QUOTED = {
    "quoted_spreadsheet": ("Name;Betrag;Notiz\r\nMüller;\"1.234,50\";\"Zeile 1\r\nZeile 2\"\r\n"
                           "\"Sag \"\"Hallo\"\"\";;x\r\n\"\"\r\n").encode("utf-8"),
    "quoted_odd": b"\"a\"b;\"\"\"\"\n\"\"\"\r\n\r\"c;d\"\rx;e\x1af\nq\"r;\"s\x1at\"\n\"open;\r\n\"\"",
    "quoted_long": b"x;\"" + b"ab\"\"\n;" * 40 + b"\";y\n" + b"z;\"" + b"w" * 300 + b"\"\r\n",
}


def write(target, name, data):
    folder = os.path.join(HERE, target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def edge_line(special, pos):
    """80 bytes with a separator at 20 and `special` at `pos`."""
    line = bytearray(b"a" * 80)
    line[20] = ord(";")
    line[pos] = special
    if special == ord("\r"):
        line[pos + 1] = ord("b")  # a lone CR
    return bytes(line)


def scan_edges(special):
    """Lines with `special` at each place around the end of the block
    scanner's 64-byte window, and a last line without LF. Empty lines pad
    every line to the start of a window, counted from where the scan last
    started afresh (behind a line it stepped over: a lone CR, a Ctrl-Z)."""
    out, start = b"", 0
    for pos in range(58, 70):
        out += b"\n" * (-(len(out) - start) % 64)
        out += edge_line(special, pos) + b"\n"
        if special in b"\r\x1a":
            start = len(out)
    return out + edge_line(special, 63)


def load_seeds():
    budgets = [0, 0, 0, 4, 40, 400]
    for i, (name, data) in enumerate(sorted(FILES.items())):
        sep = list(SEP.values())[i % len(SEP)]
        budget = budgets[i % len(budgets)]
        # separator, budget in 64-byte units, the read cap of the small-read run
        head = bytes([sep]) + struct.pack(">H", budget) + bytes([i % 16])
        write("load", name, head + data)
    write("load", "budget_first_line", bytes([0, 0, 1, 3]) + b"x" * 200 + b";a;b\n")
    write("load", "budget_long_line", bytes([SEP[";"], 0, 2, 1]) + b"a;b;c\n" + b"y" * 3000)
    for name, special in [("cr", "\r"), ("ctrl_z", "\x1a"), ("lf", "\n"), ("separator", ";"),
                          ("high_byte", "\xe4")]:
        write("load", "scan_edges_" + name, bytes([SEP[";"], 0, 0, 12]) + scan_edges(ord(special)))
    # The encoding check where the scanner steps over bytes: a Windows-1252
    # line before a lone CR, before a Ctrl-Z; and a Ctrl-Z behind a lone CR.
    write("load", "utf8_before_lone_cr", bytes([SEP[";"], 0, 0, 5]) + b"ok;1\n\xe4;2\na\rb;3\n")
    write("load", "utf8_before_ctrl_z", bytes([SEP[";"], 0, 0, 6]) + b"ok;1\n\xe4;2\na\x1ab;3\n")
    write("load", "ctrl_z_after_lone_cr", bytes([SEP[";"], 0, 0, 7]) + b"a\rb\x1ac;d\ne;f\n")
    # Read one byte at a time (the small-read run), every kind of line end
    # straddles the end of what the buffer holds.
    for i, (name, data) in enumerate(sorted(QUOTED.items())):
        write("load", name, bytes([[SEP[";"], SEP["detect"], SEP[","]][i], 0, 0, i + 1]) + data)
    write("load", "read_edges", bytes([SEP[";"], 0, 0, 0]) +
          b"crlf;a\r\nlone\rcr;b\nz\x1a\xe4;c\n;;sep\n\xc3\xa4;utf8\n\n\n\x1aafter")


def roundtrip_seeds():
    names = sorted(FILES)
    for i, name in enumerate(names):
        sep = list(SEP.values())[i % len(SEP)]
        head = bytes([sep, (i * 37) % 256, i % 32])
        write("roundtrip", name, head + FILES[name])
    for i, (name, data) in enumerate(sorted(QUOTED.items())):
        write("roundtrip", name, bytes([[SEP[";"], SEP["detect"], SEP["\t"]][i], i * 3, i]) + data)


def split_seeds():
    cases = {
        "semicolon": (0, b";", b"a;b;;c;"),
        "limit_cuts": (2, b";", b"a;b;c;d"),
        "limit_one": (1, b",", b"1,5;2,5"),
        "negative_limit": (-1, b";", b"a;b"),
        "empty_separator": (0, b"", b"abc"),
        "long_separator": (0, b";;", b"a;;;b;;;;c"),
        "overlap": (0, b"aa", b"aaaaa"),
        "three_bytes": (3, b"\xc3\xa4x", "Müller\u00e4xStraße\u00e4x".encode("utf-8") + b"x"),
        "umlaut_text": (0, b";", "Straße;Köln;Öl".encode("utf-8")),
        "windows_1252": (0, b"\t", "Straße\tKöln\tÖl".encode("cp1252")),
    }
    for name, (limit, sep, text) in cases.items():
        write("split", name, bytes([limit & 0xFF, len(sep), 0]) + sep + text)
    write("split", "long_text", bytes([0, 1, 1]) + b";" + b"ab;cde;" * 3)


def settings_seeds():
    seeds = {
        "worked_example": "D:\\Daten\r\n0\r\n1\r\nSemikolon\r\n \r\n2\r\n1\r\n1\r\n",
        "six_lines": "/home/anna/Tabellen\r\n1\r\n0\r\nKomma\r\n,\r\n3\r\n",
        "seven_lines": "/tmp\n1\n1\nTab\n\t\n1\n3\n",
        "empty": "",
        "word_in_line_6": "/daten\r\n1\r\n1\r\nAnderes\r\n|\r\nzwei\r\n1\r\n1\r\n",
        "several_characters": "\r\n 1\r\n1\r\nAnderes\r\n#+~\r\n  2  \r\n+1\r\n\r\n",
        "ctrl_z": "/a\r\n1\r\n\x1a1\r\nSemikolon\r\n",
        "ctrl_z_after_six": "/a\r\n0\r\n1\r\nTab\r\n \r\n1\r\n\x1a",
        "big_numbers": "/a\n0\n0\nx\ny\n2147483647\n-2147483648\n1\n",
        "too_big": "/a\n0\n0\nx\ny\n2147483648\n1\n1\n",
        "umlauts_1252": None,
    }
    for name, text in seeds.items():
        if text is None:
            data = "C:\\Büro\\Tabellen\r\n0\r\n1\r\nLeerzeichen\r\nä\r\n1\r\n2\r\n\r\n".encode("cp1252")
        else:
            data = text.encode("utf-8")
        write("settings", name, data)


def transpose_seeds():
    # budget, then operations: 0 Set, 1 ColCount, 2 RowCount, 3 MoveRow,
    # 4 MoveCol, 5 ClearGrid, 6 Reset, 7 encoding
    def set_cell(c, r, text):
        return bytes([0, c + 1, r + 1, len(text)]) + text

    small = (bytes([1, 6, 2, 5]) + set_cell(1, 1, b"kurz") +
             set_cell(2, 3, "eine Zelle länger als fünfzehn".encode("utf-8")) +
             set_cell(0, 2, b"7") + bytes([3, 2, 4, 4, 1, 3]))
    write("transpose", "small_table", bytes([0]) + small)
    write("transpose", "small_table_budget", bytes([1]) + small)
    ragged = bytes([1, 20, 2, 30])
    for i in range(12):
        ragged += set_cell(i, (i * 7) % 30, b"x" * (i * 3))
    write("transpose", "ragged", bytes([0]) + ragged + bytes([7, 0]))
    write("transpose", "moves_and_reset", bytes([0]) + small + bytes([6, 4, 3, 5]) +
          set_cell(1, 1, b"nach Reset") + bytes([1, 0, 2, 0]))
    write("transpose", "wide_budget", bytes([3, 1, 49, 2, 49]) +
          b"".join(set_cell(c, c, b"0123456789abcdefXYZ") for c in range(0, 47, 5)))


if __name__ == "__main__":
    load_seeds()
    roundtrip_seeds()
    split_seeds()
    settings_seeds()
    transpose_seeds()
