#!/usr/bin/env python3
"""Writes the seed inputs of the fuzz targets into tests/fuzz/corpus/<target>/:
the registry values real saves write (settings_load_fuzz) and the entries of
demo/phonebook.ini (phonebook_fuzz). The inputs' layout is told in
tests/fuzz/README.md. Run once; the fuzzer's merge keeps what adds coverage."""
import hashlib
import os
import struct

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
CORPUS = os.path.join(ROOT, "tests", "fuzz", "corpus")

NAMES = ["DialMode", "AutoRecon", "RetryInt", "AttempsInt", "EnableTimer", "Time", "Date",
         "DisOrShut", "LogEnabled", "LogFile", "WinBoot", "AutoCon", "ConInt", "MiniStart",
         "ZimAdvt", "SLeft", "STop", "TimedDone"]
RUN = len(NAMES)
OWN = len(NAMES) + 1
SZ, EXPAND_SZ, DWORD, BINARY, MULTI_SZ, QWORD, NONE, OTHER = range(8)


def value(name, kind, data, own_name=b"", other_type=0):
    out = bytearray()
    if name == OWN:
        out += bytes([OWN, len(own_name)]) + own_name
    else:
        out.append(name if isinstance(name, int) else NAMES.index(name))
    out.append(kind)
    if kind == OTHER:
        out += struct.pack("<I", other_type)
    if len(data) >= 255:
        out += bytes([255]) + struct.pack("<H", len(data))
    else:
        out.append(len(data))
    return bytes(out + data)


def dword(name, v):
    return value(name, DWORD, struct.pack("<I", v & 0xFFFFFFFF))


def text(name, s, kind=SZ):
    return value(name, kind, s.encode("latin-1") + b"\0")


def write(target, data):
    folder = os.path.join(CORPUS, target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "seed-" + hashlib.sha1(data).hexdigest()[:16]), "wb") as f:
        f.write(data)


def settings_seeds():
    # A save after every setting was changed in the dialog.
    full = [dword("DialMode", 1), dword("AutoRecon", 1), dword("RetryInt", 4500),
            dword("AttempsInt", 12), dword("EnableTimer", 1), text("Time", "10:45 PM"),
            text("Date", "31/12/26"), dword("DisOrShut", 0), dword("LogEnabled", 1),
            text("LogFile", "q.log"), dword("WinBoot", 0), dword("AutoCon", 1),
            dword("ConInt", 1), dword("MiniStart", 0), dword("ZimAdvt", 1),
            dword("SLeft", 120), dword("STop", 80)]
    # A save of the design values with Start with Windows on.
    design = [dword("DialMode", 0), dword("AutoRecon", 1), dword("RetryInt", 3000),
              dword("AttempsInt", 99999), dword("EnableTimer", 0), dword("LogEnabled", 0),
              dword("WinBoot", 1), dword("AutoCon", 0), dword("ConInt", 0),
              dword("MiniStart", 0), dword("ZimAdvt", 0), dword("SLeft", 0), dword("STop", 0),
              text(RUN, "C:\\Program Files\\Quindle\\Quindle.exe")]
    for flags in (0, 1, 2):
        write("settings_load_fuzz", bytes([flags]) + b"".join(full))
        write("settings_load_fuzz", bytes([flags]) + b"".join(design))
    write("settings_load_fuzz", bytes([0]))
    write("settings_load_fuzz", bytes([4]) + text(RUN, "x"))
    # The main window's values and a timed event that has acted.
    write("settings_load_fuzz", bytes([0]) + dword("SLeft", -30) + dword("STop", 5000) +
          text("TimedDone", "09:30 PM 24/12/26") + dword("EnableTimer", 1) +
          text("Time", "09:30 PM") + text("Date", "24/12/26"))
    # Values of other types, an interval below the floor, an index out of the list.
    write("settings_load_fuzz", bytes([0]) + text("DialMode", "1") +
          value("RetryInt", BINARY, b"\x10\x27\0\0") + dword("AttempsInt", 7) +
          value("EnableTimer", QWORD, b"\1" + b"\0" * 7) + value("LogEnabled", DWORD, b"\1\0") +
          dword("ConInt", 5) + text("WinBoot", "yes") + dword(RUN, 1) +
          value(OWN, MULTI_SZ, b"a\0b\0\0", own_name=b"Extra"))
    write("settings_load_fuzz", bytes([1]) + dword("RetryInt", -20) + dword("AttempsInt", -1) +
          dword("EnableTimer", 1) + value("Time", SZ, b"11:45 AM") +
          text("Date", "%DATE%", EXPAND_SZ) + dword("LogEnabled", 1) +
          text("LogFile", "tool.exe") + value("ZimAdvt", OTHER, b"\1\0\0\0", other_type=0x1234))


def phonebook_seeds():
    with open(os.path.join(ROOT, "demo", "phonebook.ini"), "rb") as f:
        demo = f.read()
    write("phonebook_fuzz", demo)
    # Each entry of the demo book on its own.
    sections = demo.split(b"\n[")
    for i, s in enumerate(sections):
        if i > 0:
            s = b"[" + s
        if s.lstrip().startswith(b"["):
            write("phonebook_fuzz", s)


if __name__ == "__main__":
    settings_seeds()
    phonebook_seeds()
