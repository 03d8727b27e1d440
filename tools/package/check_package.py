#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Unpacks the release package and checks every member:

- the members are exactly the gauge, the logging gauge, the read-me, the
  licence and one panel_<aircraft>.cfg per helicopter class, and the sum
  matches the ZIP;
- hover.gau and hoverlog.gau are byte for byte the modules the tests ran
  against, export exactly Linkage and ImportTable, import only what Windows
  XP exports, and carry the version of the file VERSION in their version
  resources;
- the text members are ASCII with Windows line ends;
- the read-me is what its sources give now (the tuned strings, the version,
  the size), and says the figures it must, and documents every key the
  logging gauge's line takes;
- each panel file's gauge line, its string passed to the module as the host
  passes it, flies exactly as the factors of the read-me's table do, and
  every key of the table changes the flight: the module's own parameter
  reading gives the gains the read-me states.

    check_package.py --zip ZIP --source DIR --gau TESTED.gau --log-gau TESTED_LOG.gau --objdump OBJDUMP
        --objcopy OBJCOPY --hoversim NATIVE_HOVERSIM [--wine-hoversim EXE --wine-runner RUNNER]
"""
import argparse
import hashlib
import os
import re
import struct
import subprocess
import sys
import tempfile
import zipfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import package  # noqa: E402

# Seconds of each check flight: the engagement and the first seconds of the
# hold, long enough that every gain has acted on the controls.
FLIGHT_SECONDS = "20"

failures = []


def fail(message):
    failures.append(message)
    print("FAIL: " + message, file=sys.stderr)


def text_member_ok(name, data):
    if any(b > 0x7e or (b < 0x20 and b not in (0x0d, 0x0a)) for b in data):
        fail(f"{name} is not plain ASCII text")
    if data.count(b"\r\n") != data.count(b"\n") or data.count(b"\r") != data.count(b"\n"):
        fail(f"{name} has a line end that is not CR LF")
    if not data.endswith(b"\r\n"):
        fail(f"{name} does not end with a line end")


def version_resource(objcopy, gau_path, work):
    """The fixed file version words and the FileVersion string of the
    module's version resource."""
    rsrc = os.path.join(work, "rsrc.bin")
    subprocess.run([objcopy, "-O", "binary", "--only-section=.rsrc", gau_path, rsrc], check=True)
    with open(rsrc, "rb") as f:
        data = f.read()
    at = data.find(struct.pack("<I", 0xFEEF04BD))
    if at < 0:
        return None, None
    ms, ls = struct.unpack_from("<II", data, at + 8)
    fixed = (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)
    key = "FileVersion\0".encode("utf-16-le")
    k = data.find(key)
    if k < 0:
        return fixed, None
    v = k + len(key)
    v += (-v) % 4
    end = v
    while end + 1 < len(data) and data[end:end + 2] != b"\0\0":
        end += 2
    return fixed, data[v:end].decode("utf-16-le")


def readme_factors(readme_text, aircraft):
    """The factor table of the read-me: key to factor text for one aircraft."""
    lines = readme_text.splitlines()
    for i, line in enumerate(lines):
        words = line.split()
        if words[:1] == ["key"] and words[1:] == list(package.AIRCRAFT):
            column = 1 + package.AIRCRAFT.index(aircraft)
            table = {}
            for row in lines[i + 1:i + 1 + len(package.KEYS)]:
                cells = row.split()
                if len(cells) != 1 + len(package.AIRCRAFT):
                    break
                table[cells[0]] = cells[column]
            return table
    return {}


def logger_keys(source):
    """The keys the logging gauge reads from its gauge line, as its settings
    reader names them: the folder and bank token matched one by one, the
    numbers from its table."""
    path = os.path.join(source, "logger", "record", "settings.cpp")
    text = package.read_text(path)
    return (re.findall(r'keyIs\(word, keyLength, "(\w+)"\)', text)
            + re.findall(r'\.key = "(\w+)"', text))


def host_string(line):
    """What the host hands the gauge from a gauge line: the text after the
    size, unchanged."""
    fields = line.split("=", 1)[1].split(",", 5)
    return fields[5] if len(fields) == 6 else None


def flight(fly, scenario, parameters, work, tag):
    trace = os.path.join(work, tag + ".csv")
    result = subprocess.run(fly + [scenario, "--parameters", parameters, "--duration", FLIGHT_SECONDS,
                                   "-q", "--trace", trace],
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    # 0: held, 1: an expectation failed, 3: none to check; 2: could not fly.
    if result.returncode not in (0, 1, 3):
        fail(f"hoversim could not fly {scenario} with '{parameters}': {result.stderr.strip()}")
        return None
    with open(trace, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def main():
    p = argparse.ArgumentParser()
    for option in ("--zip", "--source", "--gau", "--log-gau", "--objdump", "--objcopy", "--hoversim"):
        p.add_argument(option, required=True)
    p.add_argument("--wine-hoversim", help="the Windows hoversim, flown under Wine when it runs here")
    p.add_argument("--wine-runner", help="the program that runs a Windows program under Wine")
    a = p.parse_args()
    version = package.version(a.source)
    top = f"hover-{version}/"

    with open(a.zip, "rb") as f:
        digest = hashlib.sha256(f.read()).hexdigest()
    try:
        with open(a.zip + ".sha256", encoding="ascii") as f:
            if f.read() != f"{digest}  {os.path.basename(a.zip)}\n":
                fail(f"{a.zip}.sha256 is not the sum of {a.zip}")
    except OSError:
        fail(f"{a.zip}.sha256 is missing")

    with zipfile.ZipFile(a.zip) as z:
        if z.testzip() is not None:
            fail(f"{a.zip}: a member fails its CRC")
        data = {info.filename: z.read(info) for info in z.infolist()}
    wanted = (["hover.gau", "hoverlog.gau", "readme.txt", "LICENSE.txt"]
              + [f"panel_{aircraft}.cfg" for aircraft in package.AIRCRAFT])
    if sorted(data) != sorted(top + name for name in wanted):
        fail(f"members are {sorted(data)}, expected {sorted(top + n for n in wanted)}")
        return 1
    member = {name[len(top):]: content for name, content in data.items()}

    with tempfile.TemporaryDirectory() as work:
        gau = os.path.join(work, "hover.gau")
        with open(gau, "wb") as f:
            f.write(member["hover.gau"])
        with open(a.gau, "rb") as f:
            if f.read() != member["hover.gau"]:
                fail(f"the package's hover.gau differs from the tested {a.gau}")
        symbols = subprocess.run(
            ["sh", os.path.join(a.source, "gauge", "tests", "check_module_symbols.sh"), "win32", gau, a.objdump,
             os.path.join(a.source, "gauge", "tests", "windows_xp_imports.txt")],
            stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        if symbols.returncode != 0:
            fail("the package's hover.gau: " + symbols.stdout.strip())
        fixed, text = version_resource(a.objcopy, gau, work)
        expected = tuple(int(n) for n in version.split(".")) + (0,)
        if fixed != expected or text != version:
            fail(f"hover.gau's version resource says {fixed} and '{text}', VERSION says {version}")

        # The logging gauge: the tested file, its two exports, and imports of
        # hover.gau's list or of the logger's own file and clock calls.
        log_gau = os.path.join(work, "hoverlog.gau")
        with open(log_gau, "wb") as f:
            f.write(member["hoverlog.gau"])
        with open(a.log_gau, "rb") as f:
            if f.read() != member["hoverlog.gau"]:
                fail(f"the package's hoverlog.gau differs from the tested {a.log_gau}")
        log_imports = os.path.join(work, "hoverlog_imports.txt")
        with open(log_imports, "w", encoding="ascii") as f:
            for listed in (os.path.join(a.source, "gauge", "tests", "windows_xp_imports.txt"),
                           os.path.join(a.source, "logger", "tests", "windows_xp_imports.txt")):
                f.write(package.read_text(listed) + "\n")
        symbols = subprocess.run(
            ["sh", os.path.join(a.source, "gauge", "tests", "check_module_symbols.sh"), "win32", log_gau,
             a.objdump, log_imports],
            stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        if symbols.returncode != 0:
            fail("the package's hoverlog.gau: " + symbols.stdout.strip())
        fixed, text = version_resource(a.objcopy, log_gau, work)
        if fixed != expected or text != version:
            fail(f"hoverlog.gau's version resource says {fixed} and '{text}', VERSION says {version}")

        for name, content in member.items():
            if name not in ("hover.gau", "hoverlog.gau"):
                text_member_ok(name, content)
        if member["LICENSE.txt"] != package.crlf(package.read_text(os.path.join(a.source, "LICENSE"))):
            fail("LICENSE.txt is not the repository's LICENSE")

        readme = member["readme.txt"].decode("ascii", "replace").replace("\r\n", "\n")
        if package.crlf(package.readme(a.source, a.gau)) != member["readme.txt"]:
            fail("readme.txt differs from what its sources give now (run tools/package.sh again)")
        if not readme.startswith(f"hover {version} ") or f"\nhover {version}\n" not in readme:
            fail(f"readme.txt does not name the version {version}")
        if f"({os.path.getsize(a.gau):,} bytes)" not in readme:
            fail("readme.txt does not give hover.gau's size")
        # A key added to the logger but not to the read-me would leave pilots
        # without it; finding no keys at all means the reader changed shape.
        keys = logger_keys(a.source)
        undocumented = [k for k in keys if f"\n  {k}=" not in readme]
        if not keys:
            fail("logger/record/settings.cpp: found none of the logging gauge's keys to look for in readme.txt")
        elif undocumented:
            fail(f"readme.txt does not list the logging gauge's keys {' '.join(undocumented)}")

        native = not a.wine_hoversim or not a.wine_runner or not os.path.exists(a.wine_hoversim) or subprocess.run(
            ["sh", os.path.join(a.source, "tools", "windows-tests.sh")],
            stdout=subprocess.PIPE, text=True).stdout.strip() != "wine"
        if native:
            fly = [a.hoversim]
            print("flying the gauge lines in the native host with the same module's native build")
        else:
            fly = [a.wine_runner, a.wine_hoversim, "--module", gau]
            print("flying the gauge lines with the package's hover.gau under Wine")

        for aircraft in package.AIRCRAFT:
            folder = os.path.join(a.source, "docs", "tuning", aircraft)
            params = package.one_line(os.path.join(folder, "parameters.txt"))
            if "    " + params + "\n" not in readme:
                fail(f"readme.txt lacks the tuned string of docs/tuning/{aircraft}/parameters.txt")
            panel = member[f"panel_{aircraft}.cfg"].decode("ascii", "replace").replace("\r\n", "\n")
            lines = [l for l in panel.splitlines() if l.startswith("gauge")]
            line = package.one_line(os.path.join(folder, "gauge_line.txt"))
            if lines != [line]:
                fail(f"panel_{aircraft}.cfg's gauge line is not docs/tuning/{aircraft}/gauge_line.txt")
                continue
            given = host_string(line)
            table = readme_factors(readme, aircraft)
            if given is None or sorted(table) != sorted(package.KEYS):
                fail(f"no parameter string in panel_{aircraft}.cfg, or no factor column {aircraft} in readme.txt")
                continue
            scenario = os.path.join(folder, "check.toml")
            as_table = " ".join(f"{k} {table[k]}" for k in package.KEYS)
            line_flight = flight(fly, scenario, given, work, aircraft + "_line")
            table_flight = flight(fly, scenario, as_table, work, aircraft + "_table")
            default_flight = flight(fly, scenario, "", work, aircraft + "_default")
            if line_flight != table_flight:
                fail(f"panel_{aircraft}.cfg's string flies differently from readme.txt's factors for {aircraft}")
            if line_flight == default_flight:
                fail(f"panel_{aircraft}.cfg's string flies as the default gains: the module did not read it")
            dead = []
            for key in package.KEYS:
                other = " ".join(f"{k} {float(table[k]) * (2 if k == key else 1)!r}" for k in package.KEYS)
                if flight(fly, scenario, other, work, f"{aircraft}_{key}") == table_flight:
                    dead.append(key)
            if dead:
                fail(f"{aircraft}: doubling {' '.join(dead)} does not change the flight: the check cannot see that gain")
            print(f"{aircraft}: the gauge line flies as readme.txt's factors; each of the twelve keys is read")

    names = ", ".join(f"{n} ({len(member[n])} bytes)" for n in wanted)
    print(f"{os.path.basename(a.zip)}: {names}")
    return 1 if failures else 0


if __name__ == "__main__":
    try:
        sys.exit(main())
    except package.SourceError as e:
        print(f"FAIL: {e}", file=sys.stderr)
        sys.exit(1)
