"""Memory (from /proc/PID/smaps_rollup), CPU and start times of a process and of the processes it
started. Memory is given three ways: RSS (all resident pages), PSS (shared pages split among the
processes mapping them) and USS (pages no other process maps: Private_Clean + Private_Dirty). PSS
and USS move when other programs on the machine map the same libraries; RSS does not."""

import os
from typing import NamedTuple


class Memory(NamedTuple):
    rss: int  # KiB
    pss: int
    uss: int

    def __add__(self, other):
        return Memory(*(a + b for a, b in zip(self, other)))

    def __str__(self):
        return "  ".join(f"{label} {value / 1024:7.1f}"
                         for label, value in zip(("RSS", "PSS", "USS"), self))


def total(memories):
    return sum(memories, Memory(0, 0, 0))


def median(memories):
    """The median of each figure on its own."""
    columns = list(zip(*memories))
    return Memory(*(sorted(column)[len(column) // 2] for column in columns))


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
    values = {}
    with open(f"/proc/{pid}/smaps_rollup", encoding="ascii") as smaps:
        for line in smaps:
            key, _, rest = line.partition(":")
            if key in ("Rss", "Pss", "Private_Clean", "Private_Dirty"):
                values[key] = int(rest.split()[0])
    return Memory(values["Rss"], values["Pss"], values["Private_Clean"] + values["Private_Dirty"])


def snapshot(pid):
    """{process name: Memory} for the process and its descendants; the names of several
    processes of one name are numbered after the first."""
    result = {}
    for member in [pid, *descendants(pid)]:
        try:
            label = name(member)
            memory = rollup(member)
        except (FileNotFoundError, ProcessLookupError):
            continue
        key = label
        number = 2
        while key in result:
            key = f"{label}#{number}"
            number += 1
        result[key] = memory
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
