#!/usr/bin/env python3
"""Reads the iCalendar export of dravelin-cli back with the readers that
calendar programs use, python3-icalendar and python3-vobject, field by
field, on actions with every edge: dates at both ends of the years 1 to 9999,
every state, commas, semicolons, backslashes, CR, LF, control characters and
text beyond ASCII.

Usage: check_ical.py DRAVELIN_CLI
"""
import datetime
import json
import os
import subprocess
import sys
import tempfile

import icalendar
import vobject

LONG = " ".join(["Überprüfung der Kaimauer"] * 8)  # folded over lines, never inside a character
AREA = "Docks, Quays; East \\ West"
DESCRIPTION = "one\r\ntwo\nthree\rfour\tfive \x01six\x1b[2Jseven\x7f ende"
# Every line break a line feed; the controls TEXT has no form for as U+FFFD.
DESCRIPTION_READ = "one\ntwo\nthree\nfour\tfive \ufffdsix\ufffd[2Jseven\ufffd ende"


def action(number, **fields):
    record = {"ID": number, "ID_CHAIN": number, "ID_ACTION": f"A-{number}", "log": [],
              "decisions": [], "statements": []}
    record.update(fields)
    return record


ACTIONS = [
    action(1, ID_CHAIN=2, SYNOPSIS=LONG, DESCRIPTION=DESCRIPTION, DATE_ACTION="0001-01-01",
           DATE_DUE="9999-12-31", STATUS="Void", SEVERITY="Red Alert", FUNCTIONAL_AREA=AREA),
    action(2, SYNOPSIS="Ölwechsel, Lager; Nr. 5", DATE_ACTION="9999-12-31", STATUS="Active",
           SEVERITY="Cosmetic"),
    action(3, SYNOPSIS="Finished at the end of time", DATE_ACTION="2026-01-10", DATE_DUE="0001-01-01",
           DATE_FINISHED="9999-12-31", STATUS="Resolved"),
    action(4, STATUS="Resolved"),  # the word alone resolves nothing
    action(5, SYNOPSIS="On hold, finished", STATUS="On Hold", DATE_FINISHED="0001-01-01"),
    action(6, SYNOPSIS="Pending", STATUS="Pending", DATE_DUE="2026-03-01"),
]

# What a calendar must read for each action.
EXPECTED = {
    1: {"SUMMARY": LONG, "DESCRIPTION": DESCRIPTION_READ, "DTSTART": datetime.date(1, 1, 1),
        "DUE": datetime.date(9999, 12, 31), "STATUS": "NEEDS-ACTION", "PRIORITY": 1,
        "CATEGORIES": [AREA]},
    2: {"SUMMARY": "Ölwechsel, Lager; Nr. 5", "DTSTART": datetime.date(9999, 12, 31),
        "STATUS": "IN-PROCESS", "PRIORITY": 9},
    # Due before it starts: the start is left out.
    3: {"SUMMARY": "Finished at the end of time", "DUE": datetime.date(1, 1, 1), "STATUS": "COMPLETED",
        "COMPLETED": datetime.datetime(9999, 12, 31, tzinfo=datetime.timezone.utc)},
    4: {"SUMMARY": "A-4", "STATUS": "NEEDS-ACTION"},
    5: {"SUMMARY": "On hold, finished", "STATUS": "COMPLETED",
        "COMPLETED": datetime.datetime(1, 1, 1, tzinfo=datetime.timezone.utc)},
    6: {"SUMMARY": "Pending", "DUE": datetime.date(2026, 3, 1), "STATUS": "NEEDS-ACTION"},
}
FIELDS = ["SUMMARY", "DESCRIPTION", "DTSTART", "DUE", "STATUS", "PRIORITY", "COMPLETED", "CATEGORIES"]


def run(cli, *arguments):
    result = subprocess.run([cli, *arguments], capture_output=True)
    if result.returncode != 0:
        sys.exit(f"{' '.join(arguments)} failed: {result.stderr.decode()}")
    return result.stdout


def same_time(a, b):
    if isinstance(a, datetime.datetime) and isinstance(b, datetime.datetime):
        return a.replace(tzinfo=None) == b.replace(tzinfo=None) and a.utcoffset() == b.utcoffset()
    return a == b


def read_icalendar(text):
    """Each todo by its action's number, as python3-icalendar reads it."""
    todos = {}
    for todo in icalendar.Calendar.from_ical(text).walk("VTODO"):
        related = todo.get("RELATED-TO", [])
        fields = {"UID": str(todo["UID"]),
                  "RELATED-TO": [str(r) for r in (related if isinstance(related, list) else [related])]}
        for name in FIELDS:
            if name not in todo:
                continue
            value = todo[name]
            if name in ("DTSTART", "DUE", "COMPLETED"):
                fields[name] = value.dt
            elif name == "PRIORITY":
                fields[name] = int(value)
            elif name == "CATEGORIES":
                # python3-icalendar 4.0 splits a list at every comma, also at
                # an escaped one (\,); its categories are read by vobject.
                continue
            else:
                fields[name] = str(value)
        todos[int(fields["UID"].split("-")[0])] = fields
    return todos


def read_vobject(text):
    """Each todo by its action's number, as python3-vobject reads it."""
    todos = {}
    for todo in vobject.readOne(text.decode("utf-8")).vtodo_list:
        fields = {"UID": todo.uid.value,
                  "RELATED-TO": [r.value for r in todo.contents.get("related-to", [])]}
        for name in FIELDS:
            lines = todo.contents.get(name.lower())
            if not lines:
                continue
            value = lines[0].value
            fields[name] = int(value) if name == "PRIORITY" else value
        todos[int(fields["UID"].split("-")[0])] = fields
    return todos


def check(reader, todos):
    assert sorted(todos) == sorted(EXPECTED), f"{reader}: todos {sorted(todos)}"
    uids = {number: todo["UID"] for number, todo in todos.items()}
    assert len(set(uids.values())) == len(uids), f"{reader}: UIDs repeat: {uids}"
    for number, expected in EXPECTED.items():
        todo = todos[number]
        for name in FIELDS:
            if reader == "python3-icalendar" and name == "CATEGORIES":
                continue
            want, got = expected.get(name), todo.get(name)
            assert same_time(got, want), f"{reader}: action {number} {name}: {got!r}, not {want!r}"
    # The follow-up chain: 2 follows 1.
    assert todos[1]["RELATED-TO"] == [uids[2]], f"{reader}: {todos[1]['RELATED-TO']}"
    assert todos[2]["RELATED-TO"] == [uids[1]], f"{reader}: {todos[2]['RELATED-TO']}"


def main():
    cli = sys.argv[1]
    document = {"format": "dravelin-action-file", "version": 1, "contacts": [],
                "header": {"TITLE": "Edges", "HOME_ID": "EDGE", "DATE_ENTERED": "2026-01-05"},
                "actions": ACTIONS}
    with tempfile.TemporaryDirectory() as folder:
        os.environ.update({"HOME": folder, "XDG_CONFIG_HOME": os.path.join(folder, "config")})
        source = os.path.join(folder, "edges.json")
        with open(source, "w", encoding="utf-8") as out:
            json.dump(document, out)
        act = os.path.join(folder, "edges.act")
        run(cli, "import", act, "--format", "json", source)
        text = run(cli, "export", act, "--format", "ical")

    lines = text.split(b"\r\n")
    assert lines[-1] == b"", "every line ends in CRLF"
    assert all(len(line) <= 75 for line in lines), "no line longer than 75 octets"
    check("python3-icalendar", read_icalendar(text))
    check("python3-vobject", read_vobject(text))
    print(f"iCalendar export read back by python3-icalendar and python3-vobject: {len(ACTIONS)} todos, "
          "every field as expected")


if __name__ == "__main__":
    main()
