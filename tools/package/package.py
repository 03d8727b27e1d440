#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Builds the release package: hover-VERSION.zip and its SHA-256 sum.

    package.py readme  --source DIR --gau FILE [--log-gau FILE]            the read-me, to stdout
    package.py zip     --source DIR --gau FILE --log-gau FILE --out DIR

Every figure and string of the read-me comes from the file that holds it:
the version from VERSION, the gauge's size from the built hover.gau, the
tuned strings and gauge lines from docs/tuning/<aircraft>/, what each string
holds from the tables of that folder's report.md, the class names from
aircraft/<aircraft>.toml, the logging gauge's face size from its plate
bitmap. The gauges (hover.gau and the logging gauge hoverlog.gau) are
copied as they are, never rebuilt.
"""
import argparse
import hashlib
import os
import re
import sys
import zipfile

# The helicopter classes the package carries a tuned string for.
AIRCRAFT = ("bo105", "uh1h", "puma")
KEYS = ("KprTurn", "TvTurn", "TnTurn", "KprRight", "TvRight", "TnRight",
        "KprForward", "TvForward", "TnForward", "KprUp", "TvUp", "TnUp")
# One timestamp for every member, so the same files give the same archive.
ZIP_TIME = (2026, 1, 1, 0, 0, 0)


class SourceError(Exception):
    """A source file lacks what the package needs; the message names it."""


def read_text(path):
    try:
        with open(path, encoding="utf-8") as f:
            return f.read()
    except OSError as e:
        raise SourceError(f"{path}: cannot be read ({e.strerror})") from e


def one_line(path):
    lines = [l for l in read_text(path).splitlines() if l.strip()]
    if len(lines) != 1:
        raise SourceError(f"{path}: expected one line, found {len(lines)}")
    return lines[0].strip()


def version(source):
    path = os.path.join(source, "VERSION")
    text = one_line(path)
    if not re.fullmatch(r"\d{1,5}\.\d{1,5}\.\d{1,5}", text):
        raise SourceError(f"{path}:1: '{text}' is not a version MAJOR.MINOR.PATCH")
    return text


def factors_of(path, text):
    """The string's keys and factors, in the order written: KEY NUMBER pairs."""
    words = text.split()
    if len(words) % 2:
        raise SourceError(f"{path}:1: not KEY FACTOR pairs: '{text}'")
    pairs = []
    for key, number in zip(words[::2], words[1::2]):
        if key not in KEYS or any(k == key for k, _ in pairs):
            raise SourceError(f"{path}:1: '{key}' is not one of the twelve keys, or repeated")
        try:
            value = float(number)
        except ValueError:
            raise SourceError(f"{path}:1: '{number}' after {key} is not a number") from None
        if not (0.0 < value < 1e6):
            raise SourceError(f"{path}:1: {key} {number} is outside 0 .. 1e6")
        pairs.append((key, number))
    return pairs


def table_rows(path, text, header_cell):
    """The rows of the first markdown table whose header has header_cell, as
    dicts from header cell to cell."""
    lines = text.splitlines()
    for i, line in enumerate(lines):
        cells = [c.strip() for c in line.strip().strip("|").split("|")]
        if line.startswith("|") and header_cell in cells:
            rows = []
            for row in lines[i + 2:]:
                if not row.startswith("|"):
                    break
                values = [c.strip() for c in row.strip().strip("|").split("|")]
                if len(values) < len(cells):
                    raise SourceError(f"{path}: a row of the table with '{header_cell}' has too few cells")
                rows.append(dict(zip(cells, values)))
            return rows
    raise SourceError(f"{path}: no table with the column '{header_cell}'")


def number_in(path, cell, what):
    m = re.match(r"-?\d+(\.\d+)?", cell)
    if not m:
        raise SourceError(f"{path}: {what} '{cell}' is not a number")
    return float(m.group(0))


def holds(path):
    """What the tuner says the string holds: its holds.txt, one paragraph
    (on the host's own loop, one whole panel frame late, the disk margin)."""
    text = read_text(path).strip()
    if not text or "\n" in text:
        raise SourceError(f"{path}: not one paragraph on one line")
    return text


def aircraft_name(source, aircraft):
    path = os.path.join(source, "aircraft", aircraft + ".toml")
    m = re.search(r'^name\s*=\s*"([^"]+)"', read_text(path), re.M)
    if not m:
        raise SourceError(f"{path}: no name = \"...\" line")
    return m.group(1)


def gauge_line(path):
    line = one_line(path)
    m = re.fullmatch(r"gauge\d\d=hover!hover,\s*(\d+),\s*(\d+),\s*(\d+),\s*(\d+),\s*(.*)", line)
    if not m:
        raise SourceError(f"{path}:1: not a gauge line 'gaugeNN=hover!hover, X, Y, W, H, STRING'")
    return line, m


# The logging gauge's plate: the face the simulator scales to the gauge
# line's size.
LOG_PLATE = os.path.join("logger", "face", "bitmaps", "200_log_plate.bmp")


def log_face_size(source):
    """The width and height in pixels of the logging gauge's plate bitmap."""
    path = os.path.join(source, LOG_PLATE)
    try:
        with open(path, "rb") as f:
            header = f.read(26)
    except OSError as e:
        raise SourceError(f"{path}: cannot be read ({e.strerror})") from e
    if len(header) < 26 or header[:2] != b"BM" or int.from_bytes(header[14:18], "little") < 40:
        raise SourceError(f"{path}: not a Windows bitmap with an info header")
    width = int.from_bytes(header[18:22], "little", signed=True)
    # A negative height is a bitmap stored top row first.
    height = abs(int.from_bytes(header[22:26], "little", signed=True))
    if not (0 < width <= 4096 and 0 < height <= 4096):
        raise SourceError(f"{path}: a size of {width} x {height} pixels is not a face's")
    return width, height


def wrap(text, indent, width=76):
    words, lines, line = text.split(), [], indent
    for word in words:
        if len(line) + len(word) + (line != indent) > width and line != indent:
            lines.append(line)
            line = indent
        line += ("" if line == indent else " ") + word
    lines.append(line)
    return "\n".join(lines)


def classes(source):
    out = []
    for aircraft in AIRCRAFT:
        folder = os.path.join(source, "docs", "tuning", aircraft)
        params_path = os.path.join(folder, "parameters.txt")
        params = one_line(params_path)
        line_path = os.path.join(folder, "gauge_line.txt")
        line, m = gauge_line(line_path)
        if m.group(5) != params:
            raise SourceError(f"{line_path}:1: its string differs from {params_path}")
        out.append({
            "aircraft": aircraft,
            "name": aircraft_name(source, aircraft),
            "parameters": params,
            "factors": dict(factors_of(params_path, params)),
            "line": line,
            "face": f"{m.group(3)} x {m.group(4)}",
            "holds": holds(os.path.join(folder, "holds.txt")),
        })
    return out


def panel_file(version_text, c):
    return (f"// hover {version_text}: the tuned string for the {c['name']}.\n"
            "// Paste the gauge line into a [WindowNN] section of the aircraft's\n"
            "// panel.cfg; renumber gauge00 and move or size it for your panel.\n"
            f"{c['line']}\n")


def readme(source, gau_path):
    v = version(source)
    cs = classes(source)
    size = os.path.getsize(gau_path)
    log_width, log_height = log_face_size(source)
    template = read_text(os.path.join(source, "tools", "package", "readme.txt.in"))
    width = max(len(k) for k in KEYS)
    table = ["  " + "key".ljust(width) + "".join(c["aircraft"].rjust(10) for c in cs)]
    for key in KEYS:
        table.append("  " + key.ljust(width)
                     + "".join(c["factors"].get(key, "1").rjust(10) for c in cs))
    strings = []
    for c in cs:
        strings.append(f"{c['name']} (panel_{c['aircraft']}.cfg):\n"
                       + "    " + c["parameters"] + "\n"
                       + wrap("What the tuner found: " + c["holds"], "  "))
    members = "\n".join(f"  panel_{c['aircraft']}.cfg".ljust(21) + f"the gauge line for the {c['name']}"
                        for c in cs)
    fields = {
        "VERSION": v,
        "GAU_SIZE": f"{size:,}",
        "PANEL_MEMBERS": members,
        "EXAMPLE_LINE": cs[0]["line"][:cs[0]["line"].index(cs[0]["parameters"])] + "<parameter string>",
        "FACE_SIZE": cs[0]["face"],
        "FACTOR_TABLE": "\n".join(table),
        "TUNED_STRINGS": "\n\n".join(strings),
        "LOG_WIDTH": str(log_width),
        "LOG_HEIGHT": str(log_height),
    }
    text = re.sub(r"@([A-Z_]+)@", lambda m: fields[m.group(1)], template)
    return text


def crlf(text):
    return text.replace("\r\n", "\n").replace("\n", "\r\n").encode("ascii")


def members(source, gau_path, log_gau_path):
    """The package's members, name to bytes, in the order they are stored."""
    v = version(source)
    with open(gau_path, "rb") as f:
        gau = f.read()
    with open(log_gau_path, "rb") as f:
        log_gau = f.read()
    out = {"hover.gau": gau, "hoverlog.gau": log_gau, "readme.txt": crlf(readme(source, gau_path))}
    for c in classes(source):
        out[f"panel_{c['aircraft']}.cfg"] = crlf(panel_file(v, c))
    out["LICENSE.txt"] = crlf(read_text(os.path.join(source, "LICENSE")))
    return out


def write_zip(source, gau_path, log_gau_path, out_dir):
    v = version(source)
    os.makedirs(out_dir, exist_ok=True)
    name = f"hover-{v}.zip"
    path = os.path.join(out_dir, name)
    tmp = path + ".part"
    with zipfile.ZipFile(tmp, "w", zipfile.ZIP_DEFLATED) as z:
        for member, data in members(source, gau_path, log_gau_path).items():
            info = zipfile.ZipInfo(f"hover-{v}/{member}", ZIP_TIME)
            info.compress_type = zipfile.ZIP_DEFLATED
            info.external_attr = 0o644 << 16
            z.writestr(info, data)
    os.replace(tmp, path)
    with open(path, "rb") as f:
        digest = hashlib.sha256(f.read()).hexdigest()
    with open(path + ".sha256", "w", encoding="ascii") as f:
        f.write(f"{digest}  {name}\n")
    return path


def main():
    parser = argparse.ArgumentParser(description="Builds the release package of hover.")
    parser.add_argument("what", choices=("readme", "zip"))
    parser.add_argument("--source", required=True, help="the source tree")
    parser.add_argument("--gau", required=True, help="the built, tested hover.gau")
    parser.add_argument("--log-gau", help="the built, tested hoverlog.gau (zip)")
    parser.add_argument("--out", help="where the ZIP and its sum go (zip)")
    a = parser.parse_args()
    try:
        if not os.path.isfile(a.gau):
            raise SourceError(f"{a.gau}: no such file (build the win32 preset first)")
        if a.what == "readme":
            sys.stdout.write(readme(a.source, a.gau))
        else:
            if not a.out or not a.log_gau:
                parser.error("zip needs --out and --log-gau")
            if not os.path.isfile(a.log_gau):
                raise SourceError(f"{a.log_gau}: no such file (build the win32 preset first)")
            path = write_zip(a.source, a.gau, a.log_gau, a.out)
            print(path)
            print(path + ".sha256")
    except SourceError as e:
        print(f"package: {e}", file=sys.stderr)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main())
