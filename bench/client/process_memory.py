"""RSS and PSS (from /proc/PID/smaps_rollup), CPU and start times of a process and of the processes
it started."""

import os


def descendants(pid):
    found = []
    pending = [pid]
    while pending:
        parent = pending.pop()
        try:
            tasks = os.listdir(f"/proc/{parent}/task")
        except FileNotFoundError:
            continue
        for task in tasks:
            try:
                with open(f"/proc/{parent}/task/{task}/children", encoding="ascii") as children:
                    for child in children.read().split():
                        found.append(int(child))
                        pending.append(int(child))
            except FileNotFoundError:
                pass
    return found


def alive(pid):
    try:
        with open(f"/proc/{pid}/stat", encoding="ascii") as stat:
            return stat.read().rsplit(")", 1)[1].split()[0] != "Z"
    except FileNotFoundError:
        return False


def name(pid):
    """The base name of the program the process runs (comm is cut at 15 characters)."""
    with open(f"/proc/{pid}/cmdline", "rb") as cmdline:
        program = cmdline.read().split(b"\0", 1)[0]
    if program:
        return os.path.basename(program.decode(errors="replace"))
    with open(f"/proc/{pid}/comm", encoding="utf-8") as comm:
        return comm.read().strip()


def rollup(pid):
    """(RSS, PSS) in KiB."""
    values = {}
    with open(f"/proc/{pid}/smaps_rollup", encoding="ascii") as smaps:
        for line in smaps:
            key, _, rest = line.partition(":")
            if key in ("Rss", "Pss"):
                values[key] = int(rest.split()[0])
    return values["Rss"], values["Pss"]


def snapshot(pid):
    """{process name: (RSS, PSS)} for the process and its descendants; the names of several
    processes of one name are numbered after the first."""
    result = {}
    for member in [pid, *descendants(pid)]:
        try:
            label = name(member)
            rss_pss = rollup(member)
        except (FileNotFoundError, ProcessLookupError):
            continue
        key = label
        number = 2
        while key in result:
            key = f"{label}#{number}"
            number += 1
        result[key] = rss_pss
    return result


def cpu_ticks(pid):
    """User and system CPU time of the process, all its threads, in clock ticks."""
    with open(f"/proc/{pid}/stat", encoding="ascii") as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return int(fields[11]) + int(fields[12])


def start_ticks(pid):
    """The process's start time in clock ticks since boot (field 22 of /proc/PID/stat)."""
    with open(f"/proc/{pid}/stat", encoding="ascii") as stat:
        return int(stat.read().rsplit(")", 1)[1].split()[19])
