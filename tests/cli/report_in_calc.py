#!/usr/bin/env python3
"""Opens a station report in LibreOffice Calc and compares the cells it shows with a
table of the cells expected.

    report_in_calc.py REPORT.csv EXPECTED.tsv

The file is read as a spreadsheet program on a Russian Windows reads a CSV it is given:
as UTF-8 when it starts with the byte-order mark, in the ANSI code page, Windows-1251,
when it does not. (Calc keeps to the character set it is told and shows a mark as text,
so the choice is made here, from the file's first bytes.) A report without its mark then
shows its Cyrillic texts garbled, and the comparison fails.

EXPECTED.tsv has a line per row of the sheet, cells apart by tabs, `\\n`, `\\t` and `\\\\`
for a line break, a tab and a backslash in a cell. A cell is compared with the text Calc
shows; `*` takes any cell; `#TEXT` expects a number showing TEXT (`\\#` for a text that
starts with #); any other cell has to be text, so that a formula or a number where text
was written shows up. Lines starting with `##` are comments.

Exit code 0 when every cell is as expected, 1 when not, 77 when there is no soffice, 2
for a wrong call.
"""
import html.parser
import os
import shutil
import subprocess
import sys
import tempfile

UTF8_BOM = b"\xef\xbb\xbf"
# LibreOffice's numbers for the character sets (rtl_TextEncoding).
CHARSET_UTF8 = 76
CHARSET_WINDOWS_1251 = 34


class Cell:
    def __init__(self, number):
        self.number = number
        self.text = ""

    def __repr__(self):
        return ("#" if self.number else "") + repr(self.text)


class SheetReader(html.parser.HTMLParser):
    """The cells of the first table of Calc's HTML export; a cell holding a number has
    its value in an sdval attribute, text has none."""

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.rows = []
        self.cell = None
        self.tables = 0

    def handle_starttag(self, tag, attrs):
        if tag == "table":
            self.tables += 1
        if self.tables != 1:
            return
        if tag == "tr":
            self.rows.append([])
        elif tag == "td" and self.rows:
            self.cell = Cell(any(name == "sdval" for name, _ in attrs))
            self.rows[-1].append(self.cell)
        elif tag == "br" and self.cell is not None:
            self.cell.text += "\n"

    def handle_endtag(self, tag):
        if tag == "td":
            # Calc writes an empty cell as <td><br></td>.
            if self.cell is not None and self.cell.text == "\n":
                self.cell.text = ""
            self.cell = None

    def handle_data(self, data):
        if self.cell is not None:
            self.cell.text += data


def unescape(cell):
    out, i = [], 0
    while i < len(cell):
        if cell[i] == "\\" and i + 1 < len(cell):
            out.append({"n": "\n", "t": "\t", "\\": "\\", "#": "\\#"}.get(cell[i + 1], cell[i + 1]))
            i += 2
        else:
            out.append(cell[i])
            i += 1
    return "".join(out)


def read_expected(path):
    rows = []
    with open(path, encoding="utf-8") as f:
        for line in f.read().splitlines():
            if line.startswith("##"):
                continue
            rows.append([unescape(cell) for cell in line.split("\t")])
    return rows


def cell_matches(expected, cell):
    if expected == "*":
        return True
    if expected.startswith("\\#"):
        return not cell.number and cell.text == expected[1:]
    if expected.startswith("#"):
        return cell.number and cell.text == expected[1:]
    return not cell.number and cell.text == expected


def sheet(report, workdir):
    with open(report, "rb") as f:
        charset = CHARSET_UTF8 if f.read(3) == UTF8_BOM else CHARSET_WINDOWS_1251
    source = os.path.join(workdir, "report.csv")
    shutil.copyfile(report, source)
    # A profile of this run's own: two runs sharing one wait for each other or fail.
    profile = "file://" + os.path.join(workdir, "profile")
    # Comma, double quote, the character set, from line 1.
    options = "CSV:44,34,%d,1" % charset
    result = subprocess.run(
        ["soffice", "-env:UserInstallation=" + profile, "--headless", "--norestore",
         "--infilter=" + options, "--convert-to", "html", "--outdir", workdir, source],
        stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=600)
    converted = os.path.join(workdir, "report.html")
    if result.returncode != 0 or not os.path.exists(converted):
        sys.exit("soffice did not convert the report:\n" + result.stdout.decode(errors="replace"))
    reader = SheetReader()
    with open(converted, encoding="utf-8") as f:
        reader.feed(f.read())
    return reader.rows


def main():
    if len(sys.argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    report, expected_path = sys.argv[1:]
    if shutil.which("soffice") is None:
        print("soffice is not installed (scripts/setup installs it): not checked")
        return 77
    expected = read_expected(expected_path)
    with tempfile.TemporaryDirectory(prefix="report_in_calc.") as workdir:
        rows = sheet(report, workdir)
    faults = []
    if len(rows) != len(expected):
        faults.append("%d rows, %d expected" % (len(rows), len(expected)))
    for number, (row, want) in enumerate(zip(rows, expected), start=1):
        if len(row) != len(want):
            faults.append("row %d: %d columns, %d expected: %r" % (number, len(row), len(want), row))
            continue
        for column, (cell, cell_want) in enumerate(zip(row, want), start=1):
            if not cell_matches(cell_want, cell):
                faults.append("row %d column %d: %r, expected %r" % (number, column, cell, cell_want))
    for fault in faults:
        print(fault)
    if faults:
        return 1
    print("%d rows as expected" % len(rows))
    return 0


if __name__ == "__main__":
    sys.exit(main())
