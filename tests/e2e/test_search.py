"""Searching with Enter in the search field and with the three mouse
buttons on "Suchen"; the hit is the current cell, read back by Ctrl+C."""

import pytest

from marvesk import write_table

# Matches of "x" in reading order: (2,1) x1, (1,2) x2, (3,2) x3, (2,3) x4.
TABLE = [["a", "x1", "b"], ["x2", "c", "x3"], ["d", "x4", "e"]]

ENTER, LEFT, MIDDLE, RIGHT = "Enter", 1, 2, 3

SEARCHES = [
    # what is done after typing "x" into the field, the current cell then
    ([ENTER], "x1"),
    ([ENTER, ENTER, ENTER], "x3"),
    ([ENTER] * 5, "x4"),  # nothing after the last hit: the cell stays
    ([LEFT, LEFT], "x2"),
    ([MIDDLE], "x1"),
    ([ENTER] * 4 + [RIGHT], "x3"),
    ([ENTER, ENTER, RIGHT, LEFT], "x2"),
    ([RIGHT], "a"),  # right after typing, backward finds nothing
]


@pytest.mark.parametrize("actions,current", SEARCHES,
                         ids=["-".join(map(str, a)) for a, _ in SEARCHES])
def test_search(app, tmp_path, actions, current):
    app.load(write_table(str(tmp_path / "table.csv"), TABLE))
    app.click_bar("edSuchen")
    app.x.type("x")
    for action in actions:
        if action == ENTER:
            app.x.key("Return")
        else:
            app.click_bar("sbSuchen", button=action)
    # Enter leaves the keyboard in the field, the button gives it to the grid;
    # Tab from the field goes on to the grid without moving its current cell.
    keys = ["Tab", "ctrl+c"] if actions[-1] == ENTER else ["ctrl+c"]
    assert app.clipboard_after(*keys) == current
