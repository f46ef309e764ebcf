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
