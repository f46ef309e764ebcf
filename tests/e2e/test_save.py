"""Speichern pressed with the left and the right mouse button."""

import pytest

import table_model as tm
from marvesk import read_saved, settings_lines, write_table

SAVES = [
    # mouse button, the separator setting, file name, separator written
    (1, "Komma", "out.txt", "\t"),
    (3, "Komma", "out.txt", ","),
    (3, "Komma", "out.CSV", ";"),
    (2, "Leerzeichen", "out.txt", "\t"),
]


@pytest.mark.parametrize("button,choice,name,sep", SAVES)
def test_save_button(launch, tmp_path, button, choice, name, sep):
    app = launch(settings=settings_lines(choice=choice, auto=False))
    table = tm.sample(3, 2)
    loaded_with = {"Komma": ",", "Leerzeichen": " "}[choice]
    app.load(write_table(str(tmp_path / "table.txt"), table, sep=loaded_with))
    saved = read_saved(app.save(str(tmp_path / name), button=button), sep=sep)
    assert saved == table


def test_spreadsheet_csv_round_trip_with_quoted_fields(launch, tmp_path):
    """A CSV as Python's csv module (and a spreadsheet) writes it, with the
    separator, a line break and quotes inside quoted fields: read into the
    cells those programs show, and written back byte for byte."""
    import csv
    rows = [["Name", "Betrag", "Notiz"], ["Müller; Meier", "1.234,50", "Zeile 1\r\nZeile 2"],
            ['Sag "Hallo"', "", "x"]]
    path = tmp_path / "kalkulation.csv"
    with open(path, "w", encoding="utf-8", newline="") as f:
        csv.writer(f, delimiter=";").writerows(rows)
    app = launch(settings=settings_lines(quoted=True))
    app.load(str(path))
    # The clipboard puts a cell with a line break in quotes, as spreadsheets do.
    shown = [[f'"{c}"' if "\n" in c else c for c in r] for r in rows]
    assert app.copy_table() == "\n".join("\t".join(r) for r in shown)
    out = app.save(str(tmp_path / "zurueck.csv"))
    assert open(out, "rb").read() == path.read_bytes()
