"""Uploads the todos of a folder into a new task list with python3-caldav, as
an independent client would, and prints the clock and processor seconds the
uploading took (the list made and the files read before).

Usage: caldav_upload.py URL USER PASSWORD LIST_ID FOLDER
"""
import os
import sys
import time

import caldav


def main():
    url, user, password, list_id, folder = sys.argv[1:]
    client = caldav.DAVClient(url=url, username=user, password=password)
    calendar = client.principal().make_calendar(name=list_id, cal_id=list_id,
                                                supported_calendar_component_set=["VTODO"])
    texts = []
    for name in sorted(os.listdir(folder)):
        with open(os.path.join(folder, name), encoding="utf-8") as file:
            texts.append(file.read())
    clock, processor = time.perf_counter(), time.process_time()
    for text in texts:
        calendar.save_todo(text)
    print(time.perf_counter() - clock, time.process_time() - processor)


if __name__ == "__main__":
    main()
