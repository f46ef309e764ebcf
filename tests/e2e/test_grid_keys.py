"""The grid's keys pressed on a real keyboard, and the system clipboard
shared with another X client (xclip)."""

import pytest

import table_model as tm
from marvesk import COL_WIDTH, read_saved, write_table

TABLE = tm.sample(4, 4)


def changed(rows, cells):
    """`rows` with the cells {(col, row): text} replaced (numbers from 1)."""
    out = [list(r) for r in rows]
    for (c, r), text in cells.items():
        out[r - 1][c - 1] = text
    return out


# Steps: ("click", col, row), ("shift-click", col, row), ("keys", k, ...),
# ("type", text), ("clipboard", text) — another program takes the clipboard,
# ("tool",) — the tool button switches the view.
EDITS = [
    ("Del empties the selected block",
     [("click", 2, 2), ("shift-click", 3, 4), ("keys", "Delete")],
     changed(TABLE, {(2, 2): "", (3, 2): "", (2, 3): "", (3, 3): "", (2, 4): "", (3, 4): ""})),
    ("Ctrl+Ins copies, Shift+Ins pastes at the selection, cut at the edge",
     [("click", 1, 1), ("shift-click", 2, 2), ("keys", "ctrl+Insert"), ("click", 4, 3),
      ("keys", "shift+Insert")],
     changed(TABLE, {(4, 3): "a1", (4, 4): "a2"})),
    ("Shift+Ins before any copy writes the 5 x 5 empty block",
     [("click", 3, 2), ("keys", "shift+Insert")],
     changed(TABLE, {(c, r): "" for c in (3, 4) for r in (2, 3, 4)})),
    ("Ctrl+V pastes what another program put on the clipboard",
     [("clipboard", "X\tY\nZ\tW"), ("click", 2, 3), ("keys", "ctrl+v")],
     changed(TABLE, {(2, 3): "X", (3, 3): "Y", (2, 4): "Z", (3, 4): "W"})),
    ("Ctrl+C, Ctrl+V of one column whose last cell is empty",
     [("click", 1, 4), ("keys", "Delete"), ("click", 1, 2), ("shift-click", 1, 4),
      ("keys", "ctrl+c"), ("click", 3, 2), ("keys", "ctrl+v")],
     changed(TABLE, {(1, 4): "", (3, 2): "a2", (3, 3): "a3", (3, 4): ""})),
    ("Ctrl+Z takes back, Ctrl+Y makes again",
     [("click", 1, 1), ("keys", "Delete"), ("click", 2, 2), ("keys", "Delete"),
      ("click", 3, 3), ("keys", "Delete"), ("keys", "ctrl+z", "ctrl+z", "ctrl+z"),
      ("keys", "ctrl+y")],
     changed(TABLE, {(1, 1): ""})),
    ("Ctrl+Shift+Z makes again a pasted block",
     [("clipboard", "P"), ("click", 4, 4), ("keys", "ctrl+v", "ctrl+z", "ctrl+shift+z")],
     changed(TABLE, {(4, 4): "P"})),
    ("Enter walks through the cells row by row, editing as it goes",
     [("click", 3, 1), ("keys", "Return"), ("type", "p"), ("keys", "Return"), ("type", "q"),
      ("keys", "Return"), ("type", "r"), ("click", 4, 4), ("keys", "Return"), ("type", "s"),
      ("keys", "Return")],
     changed(TABLE, {(4, 1): "p", (1, 2): "q", (2, 2): "r", (4, 4): "s"})),
]


def run_steps(app, steps):
    for step in steps:
        kind, args = step[0], step[1:]
        if kind == "click":
            app.click_cell(*args)
        elif kind == "shift-click":
            app.click_cell(*args, modifiers="shift")
        elif kind == "keys":
            app.x.key(*args)
        elif kind == "type":
            app.x.type(args[0])
        elif kind == "clipboard":
            app.x.own_clipboard(args[0])
        elif kind == "tool":
            app.click_bar("tbRow_Col")


@pytest.mark.parametrize("name,steps,expected", EDITS, ids=[e[0] for e in EDITS])
def test_grid_keys(app, tmp_path, name, steps, expected):
    app.load(write_table(str(tmp_path / "table.csv"), TABLE))
    run_steps(app, steps)
    assert read_saved(app.save(str(tmp_path / "out.txt"))) == expected


# Ctrl+C and Ctrl+A: what another X client reads from the clipboard.
COPIES = [
    ("block", [("click", 2, 1), ("shift-click", 3, 2)], "ctrl+c",
     tm.as_tsv([["b1", "c1"], ["b2", "c2"]])),
    ("whole table", [("click", 4, 4)], "ctrl+a ctrl+c", tm.as_tsv(TABLE)),
    ("transposed view", [("tool",), ("click", 1, 2)], "ctrl+c", "b1"),
]


@pytest.mark.parametrize("name,steps,keys,expected", COPIES, ids=[c[0] for c in COPIES])
def test_copy_reaches_another_program(app, tmp_path, name, steps, keys, expected):
    app.load(write_table(str(tmp_path / "table.csv"), TABLE))
    run_steps(app, steps)
    assert app.clipboard_after(*keys.split()) == expected


# The width field: what is typed, and the width every data column gets.
WIDTHS = [
    ("150", 150),
    ("4a5,-.", 45),  # only digits get in
]


@pytest.mark.parametrize("typed,width", WIDTHS)
def test_width_field_enter(app, tmp_path, typed, width):
    """Enter in the width field gives every data column that width: a click
    where the third column then lies copies that column's cell."""
    table = tm.sample(8, 2)
    app.load(write_table(str(tmp_path / "table.csv"), table))
    app.click_bar("edBreite")
    app.x.key("ctrl+a")
    app.x.type(typed)
    app.x.key("Return")
    assert app.copy_cell(3, 1, col_width=width) == "c1"
    assert width != COL_WIDTH
