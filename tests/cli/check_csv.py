#!/usr/bin/env python3
"""Reads the csv export of dravelin-cli with Python's csv module and checks
its cells: commas, quotes, line breaks and accents included.

Usage: check_csv.py DRAVELIN_CLI FIXTURE_JSON
"""
import csv
import io
import os
import subprocess
import sys
import tempfile


def run(cli, *arguments):
    result = subprocess.run([cli, *arguments], capture_output=True)
    if result.returncode != 0:
        sys.exit(f"{' '.join(arguments)} failed: {result.stderr.decode()}")
    return result.stdout


def main():
    cli, fixture = sys.argv[1], sys.argv[2]
    with tempfile.TemporaryDirectory() as folder:
        env_home = {"HOME": folder, "XDG_CONFIG_HOME": os.path.join(folder, "config")}
        os.environ.update(env_home)
        act = os.path.join(folder, "fixture.act")
        run(cli, "import", act, "--format", "json", fixture)
        out = run(cli, "export", act, "--format", "csv")

    # RFC 4180: every record ends in CRLF, also the last one.
    assert out.endswith(b"\r\n"), "the last record must end in CRLF"
    rows = list(csv.reader(io.StringIO(out.decode("utf-8"), newline="")))
    header, records = rows[0], rows[1:]
    assert header[:4] == ["ID", "ID_CHAIN", "ATTRIBUTE", "ID_ACTION"], header
    assert len(records) == 3, records
    assert all(len(record) == len(header) for record in records), "every record has every field"
    by_id = {record[header.index("ID_ACTION")]: dict(zip(header, record)) for record in records}

    third = by_id["QUAY-3"]
    assert third["SYNOPSIS"] == 'Buy "fenders", ropes', third["SYNOPSIS"]
    assert third["DESCRIPTION"] == 'Überprüfung: first line\nsecond, "quoted" line\r\nthird', repr(
        third["DESCRIPTION"])
    assert third["DATE_DUE"] == "", third["DATE_DUE"]
    assert third["DATE_ACTION"] == "2026-01-21", third["DATE_ACTION"]

    second = by_id["QUAY-2"]
    assert second["ID"] == "2" and second["ID_CHAIN"] == "2"
    assert second["DATE_FINISHED"] == "2026-02-02", second["DATE_FINISHED"]
    assert second["STATUS"] == "Resolved"
    assert by_id["QUAY-1"]["ID_CHAIN"] == "2"
    print("csv export read back by Python's csv module: 3 records, every cell as stored")


if __name__ == "__main__":
    main()
