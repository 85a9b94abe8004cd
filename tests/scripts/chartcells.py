"""Where a chart's cells are, for the scripts that read our workbooks with python3-xlrd."""


def box(number, columns):
    """0-based row and column of the box of an Ahnentafel number in a chart of `columns`."""
    generation = number.bit_length() - 1
    t = columns - 1 - generation
    return 3 + 2**t + (number - 2**generation) * 2**(t + 1), 1 + t


def value(sheet, row, col):
    return sheet.cell_value(row, col) if row < sheet.nrows and col < sheet.ncols else ""


def filled_cells(sheet):
    """Every cell below the title lines that holds something, by (row, column)."""
    return {(r, c): value(sheet, r, c) for r in range(3, sheet.nrows) for c in range(sheet.ncols)
            if value(sheet, r, c)}
