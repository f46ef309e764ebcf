"""What the table should hold after an operation: plain lists of rows, the
way the saved file reads back (data cells only, no row or column numbers)."""


def sample(cols, rows):
    """Cells named after their place: column letter, row number ("c2")."""
    return [[f"{chr(ord('a') + c)}{r + 1}" for c in range(cols)] for r in range(rows)]


def transpose(rows):
    width = max((len(r) for r in rows), default=0)
    return [[r[c] if c < len(r) else "" for r in rows] for c in range(width)]


def remove(rows, axis, first, last):
    """Removes columns or rows first..last (numbers from 1)."""
    if axis == "Spalte":
        return [r[:first - 1] + r[last:] for r in rows]
    return rows[:first - 1] + rows[last:]


def clear(rows, axis, first, last):
    """Empties columns or rows first..last (numbers from 1)."""
    out = []
    for i, r in enumerate(rows, start=1):
        if axis == "Spalte":
            out.append([("" if first <= c <= last else v) for c, v in enumerate(r, start=1)])
        else:
            out.append(["" if first <= i <= last else v for v in r])
    return out


def apply_run(rows, axis, mode, first, last):
    op = remove if mode == "Alles" else clear
    return op(rows, axis, first, last)


def as_tsv(rows):
    """A block as the program puts it on the system clipboard: LF between
    rows, none after the last."""
    return "\n".join("\t".join(r) for r in rows)
