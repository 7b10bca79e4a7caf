"""Input and output as users' files have them: columns passed through,
spreadsheet exports (byte-order marks, semicolons and decimal commas) and
the messages about what the tool was given."""

import csv
import io

import rudid32

PLANT = "id,tag,p,T\nA1,feed,10,300\nB2,drum,1.01325,120\n"


def table(output, delimiter=","):
    return list(csv.reader(io.StringIO(output), delimiter=delimiter))


def test_keep_takes_one_name_a_use_and_leaves_the_function_and_keys(data):
    # The words after --keep are the command's own, never more columns.
    for keep in (["--keep", "id", "--keep", "tag"], ["--keep", "id,tag"], ["--keep=id,tag"]):
        rows = table(data.run("--exact", "batch", "--header", *keep, "state", "p", "T", input=PLANT, check=0).stdout)
        assert rows[0][:3] == ["id", "tag", "given pressure [bar]"]
        assert [row[:2] for row in rows[1:]] == [["A1", "feed"], ["B2", "drum"]]
        assert float(rows[1][4]) == 300 and rows[1][-3] == "ok"
    rows = table(data.run("--exact", "batch", "--header", "--keep", "id", "AQPPTH", input="id,p,T\nA1,10,300\n",
                          check=0).stdout)
    assert rows[1][:3] == ["A1", "10", "300"] and float(rows[1][3]) == rudid32.enthalpy_pt(10, 300)
