"""The program with the keyboard alone: load, transpose, save and quit
through their keys, with the file's name in the title."""

import table_model as tm
from marvesk import INFO_TITLE, OPEN_TITLE, SAVE_TITLE, read_saved, write_table


def test_load_transpose_save_quit_by_keys(app, tmp_path):
    table = tm.sample(3, 2)
    path = write_table(str(tmp_path / "tabelle.csv"), table)
    app.x.key("ctrl+o")
    app.file_dialog(OPEN_TITLE, path)
    app.wait_main()
    assert app.x.window_name(app.wid) == "tabelle.csv – Marvesk"
    app.x.key("ctrl+t")
    out = str(tmp_path / "quer.txt")
    app.x.key("ctrl+s")
    app.file_dialog(SAVE_TITLE, out)
    app.back_to_main()
    assert read_saved(out) == [list(col) for col in zip(*table)]
    assert app.x.window_name(app.wid) == "quer.txt – Marvesk"
    app.x.key("ctrl+q")
    app.answer(INFO_TITLE, "Return")
    assert app.wait_exit() == 0
