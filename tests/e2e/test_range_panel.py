"""The "Löschen" panel under a real mouse: its radio pairs, its runs in
both views, its own buttons, and dragging it by its free area."""

import pytest

import table_model as tm
from marvesk import PANEL, PANEL_ORIGIN, read_saved, write_table

# Each radio pair clicked on the button that is already selected, then
# used for the run of columns (or rows) 2..3 of a 5 x 5 table. Steps:
# ("click", control) clicks a panel control, ("cell", col) a cell of row 1.
# Where no step clicks a cell, "ab" and "bis" are typed first.
RADIO_CASES = [
    # name, steps, the pair and the button it must show selected, the run
    ("Spalte again", [("click", "rbSpalte")],
     ("rbSpalte", "rbZeile", "rbSpalte"), ("Spalte", "Alles")),
    ("Zeile again", [("click", "rbZeile"), ("click", "rbZeile")],
     ("rbSpalte", "rbZeile", "rbZeile"), ("Zeile", "Alles")),
    ("Alles again", [("click", "rbAlles")],
     ("rbAlles", "rbInhalt", "rbAlles"), ("Spalte", "Alles")),
    ("Inhalt again", [("click", "rbInhalt"), ("click", "rbInhalt")],
     ("rbAlles", "rbInhalt", "rbInhalt"), ("Spalte", "Inhalt")),
    ("ab again", [("click", "rbAb"), ("cell", 2), ("click", "rbBis"), ("cell", 3)],
     ("rbAb", "rbBis", "rbBis"), ("Spalte", "Alles")),
    ("bis again", [("click", "rbBis"), ("click", "rbBis"), ("cell", 3), ("click", "rbAb"),
                   ("cell", 2)],
     ("rbAb", "rbBis", "rbAb"), ("Spalte", "Alles")),
]


def start_with_table(app, tmp_path, table):
    app.load(write_table(str(tmp_path / "table.csv"), table))


@pytest.mark.parametrize("name,steps,shown,run", RADIO_CASES, ids=[c[0] for c in RADIO_CASES])
def test_radio_pair_clicked_on_its_selected_button(app, tmp_path, name, steps, shown, run):
    table = tm.sample(5, 5)
    start_with_table(app, tmp_path, table)
    app.click_bar("sbLoeschen")
    reference = app.radio_reference()
    if not any(kind == "cell" for kind, _ in steps):
        app.fill_panel_field("edAb", "2")
        app.x.key("Return")  # Enter in "ab" goes on to "bis"
        app.x.key("ctrl+a")
        app.x.type("3")
    for kind, what in steps:
        if kind == "click":
            app.click_panel(what)
        else:
            app.click_cell(what, 1)
    first, second, expected_shown = shown
    seen = app.radio_shown(first, second, reference, expected_shown)
    app.confirm_panel()
    saved = read_saved(app.save(str(tmp_path / "out.txt")))
    assert (seen, saved) == (expected_shown, tm.apply_run(table, *run, 2, 3))


# The panel's runs in both views: (view, axis, mode, ab, bis). The table is
# 6 columns by 4 rows; the transposed view shows 4 columns by 6 rows.
RUNS = [
    (False, "Spalte", "Alles", "2", "4"),
    (False, "Spalte", "Inhalt", "5", "9"),  # "bis" beyond the table: up to the last
    (False, "Zeile", "Alles", "1", "2"),
    (False, "Zeile", "Inhalt", "3", "3"),
    (True, "Spalte", "Alles", "4", "4"),
    (True, "Spalte", "Inhalt", "1", "2"),
    (True, "Zeile", "Alles", "5", "6"),
    (True, "Zeile", "Inhalt", "2", "5"),
]


@pytest.mark.parametrize("transposed,axis,mode,ab,bis", RUNS)
def test_panel_run(app, tmp_path, transposed, axis, mode, ab, bis):
    table = tm.sample(6, 4)
    start_with_table(app, tmp_path, table)
    if transposed:
        app.click_bar("tbRow_Col")
        table = tm.transpose(table)
    app.click_bar("sbLoeschen")
    # "Spalte" and "Alles" are selected as the panel first opens.
    if axis == "Zeile":
        app.click_panel("rbZeile")
    if mode == "Inhalt":
        app.click_panel("rbInhalt")
    app.fill_panel_field("edAb", ab)
    app.fill_panel_field("edBis", bis)
    app.confirm_panel()
    saved = read_saved(app.save(str(tmp_path / "out.txt")))
    count = len(table[0]) if axis == "Spalte" else len(table)
    expected = tm.apply_run(table, axis, mode, int(ab), min(int(bis), count))
    assert saved == expected


def test_panel_answered_no_changes_nothing(app, tmp_path):
    table = tm.sample(4, 3)
    start_with_table(app, tmp_path, table)
    app.click_bar("sbLoeschen")
    app.fill_panel_field("edAb", "1")
    app.fill_panel_field("edBis", "3")
    app.confirm_panel(keys="alt+n")  # &Nein
    assert read_saved(app.save(str(tmp_path / "out.txt"))) == table


# A table wide and long enough that the grid lies under the panel's place.
WIDE = tm.sample(10, 16)
UNDER_PANEL = (7, 8)  # column, row of a cell below the panel at its start


def test_panel_buttons_open_and_close_it(app, tmp_path):
    """Löschen toggles the panel and its Exit closes it: a click on the
    panel's place then reaches the grid below."""
    start_with_table(app, tmp_path, WIDE)
    col, row = UNDER_PANEL
    expected = WIDE[row - 1][col - 1]
    app.click_bar("sbLoeschen")
    app.click_panel("sbLoesch_Exit")
    after_exit = app.copy_cell(col, row)
    app.click_bar("sbLoeschen")
    app.click_bar("sbLoeschen")
    after_toggle = app.copy_cell(col, row)
    assert (after_exit, after_toggle) == (expected, expected)


def test_panel_dragged_by_its_free_area(app, tmp_path):
    """The panel follows a real drag (the window grabs the pointer); its OK
    works at the new place, and the grid is free at the old one."""
    start_with_table(app, tmp_path, WIDE)
    app.click_bar("sbLoeschen")
    app.fill_panel_field("edAb", "3")
    app.fill_panel_field("edBis", "3")
    fx, fy = PANEL["free"]
    start = (PANEL_ORIGIN[0] + fx, PANEL_ORIGIN[1] + fy)
    new_origin = (PANEL_ORIGIN[0] - 300, PANEL_ORIGIN[1] + 150)
    app.x.press(app.wid, *start)
    for step in range(1, 11):
        app.x.move(app.wid, start[0] + (new_origin[0] - PANEL_ORIGIN[0]) * step // 10,
                   start[1] + (new_origin[1] - PANEL_ORIGIN[1]) * step // 10)
    app.x.release()
    app.confirm_panel(origin=new_origin)
    saved = read_saved(app.save(str(tmp_path / "out.txt")))
    col, row = UNDER_PANEL
    old_place = app.copy_cell(col, row)
    expected = tm.remove(WIDE, "Spalte", 3, 3)
    assert (old_place, saved) == (expected[row - 1][col - 1], expected)
