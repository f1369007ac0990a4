"""Another device on a CalDAV server: python3-caldav makes task lists and
creates, changes, completes and deletes todos as a phone or a calendar
program would.

Usage: caldav_peer.py URL USER PASSWORD COMMAND ARGS...
  make-list ID NAME COMPONENTS     COMPONENTS like VTODO or VEVENT,VTODO
  create LIST UID SUMMARY [PROP=VALUE...]
  change LIST UID PROP=VALUE...    an empty VALUE removes the property
  complete LIST UID
  delete LIST UID
  get LIST UID                     prints the todo's iCalendar text
  batch LIST                       runs the commands on standard input, one
                                   a line, arguments separated by tabs
"""
import sys

import caldav
import icalendar


def main():
    url, user, password, command, *args = sys.argv[1:]
    client = caldav.DAVClient(url=url, username=user, password=password)
    principal = client.principal()
    if command == "make-list":
        list_id, name, components = args
        principal.make_calendar(name=name, cal_id=list_id,
                                supported_calendar_component_set=components.split(","))
        return
    calendar = principal.calendar(cal_id=args[0])
    if command == "batch":
        for line in sys.stdin.read().splitlines():
            if line:
                run(calendar, *line.split("\t"))
    else:
        run(calendar, command, *args[1:])


def run(calendar, command, *args):
    if command == "create":
        uid, summary, *props = args
        todo = icalendar.Todo()
        todo.add("uid", uid)
        todo.add("dtstamp", icalendar.vDatetime.from_ical("20260101T000000Z"))
        todo.add("summary", summary)
        document = icalendar.Calendar()
        document.add("version", "2.0")
        document.add("prodid", "-//Peer//caldav_peer//EN")
        document.add_component(todo)
        todo_object = calendar.save_todo(document.to_ical().decode())
        change(todo_object, props)
        return
    todo = calendar.todo_by_uid(args[0])
    if command == "change":
        change(todo, args[1:])
    elif command == "complete":
        todo.complete()
    elif command == "delete":
        todo.delete()
    elif command == "get":
        sys.stdout.write(todo.data)
    else:
        sys.exit("unknown command " + command)


def change(todo, props):
    if not props:
        return
    component = todo.icalendar_instance
    for vtodo in component.walk("VTODO"):
        for prop in props:
            name, _, value = prop.partition("=")
            vtodo.pop(name, None)
            if value:
                vtodo.add(name, icalendar.prop.vText(value) if not name.startswith(("DUE", "DTSTART"))
                          else icalendar.vDDDTypes.from_ical(value))
    todo.icalendar_instance = component
    todo.save()


if __name__ == "__main__":
    main()
