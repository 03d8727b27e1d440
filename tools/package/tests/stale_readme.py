#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Writes a copy of a package whose read-me carries a stale tuned string
(the first factor of the first string changed, its sum made anew, as a
package built before a re-tuning would be), then runs the given command.

    stale_readme.py ZIP COPY -- COMMAND...
"""
import hashlib
import os
import re
import subprocess
import sys
import zipfile

source, copy, dash, command = sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4:]
if dash != "--" or not command:
    sys.exit("usage: stale_readme.py ZIP COPY -- COMMAND...")
os.makedirs(os.path.dirname(copy), exist_ok=True)
changed = False
with zipfile.ZipFile(source) as old, zipfile.ZipFile(copy, "w", zipfile.ZIP_DEFLATED) as new:
    for info in old.infolist():
        data = old.read(info)
        if info.filename.endswith("/readme.txt"):
            text, n = re.subn(rb"(\r\n    Kpr\w+ )(\d)", rb"\g<1>9\2", data, count=1)
            changed = n == 1
            data = text
        new.writestr(info, data)
if not changed:
    sys.exit(f"{source}: found no tuned string in readme.txt to change")
with open(copy, "rb") as f:
    digest = hashlib.sha256(f.read()).hexdigest()
with open(copy + ".sha256", "w", encoding="ascii") as f:
    f.write(f"{digest}  {os.path.basename(copy)}\n")
sys.exit(subprocess.run(command).returncode)
