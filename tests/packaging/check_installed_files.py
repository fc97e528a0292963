#!/usr/bin/env python3
"""Installs the build tree into a scratch folder and checks what a desktop and a software
centre need: icons at their sizes, a desktop entry and AppStream metadata that their
validators accept and that name each other, and manual pages that groff reads without a
warning, that give the homepage the metadata names and that describe every option the
renderer knows.

usage: check_installed_files.py BUILD_DIR RENDER_EXECUTABLE
"""
import gzip
import os
import re
import struct
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

APP_ID = "io.github.cwtamarik.CwTamarik"
failures = []


def check(condition, what):
    print(("ok   " if condition else "FAIL ") + what)
    if not condition:
        failures.append(what)


def run(*args):
    return subprocess.run(args, capture_output=True, text=True)


def png_size(path):
    with open(path, "rb") as f:
        head = f.read(24)
    if head[:8] != b"\x89PNG\r\n\x1a\n":
        return None
    return struct.unpack(">II", head[16:24])


def check_icons(share):
    for size in (48, 128, 256):
        path = f"{share}/icons/hicolor/{size}x{size}/apps/cw-tamarik.png"
        check(os.path.exists(path) and png_size(path) == (size, size),
              f"a {size} x {size} PNG icon is installed")
    svg = f"{share}/icons/hicolor/scalable/apps/cw-tamarik.svg"
    try:
        root = ET.parse(svg).getroot()
        paths = root.findall("{http://www.w3.org/2000/svg}path")
        check(root.tag.endswith("svg") and len(paths) >= 3 and all(p.get("d") for p in paths),
              "the scalable icon is an SVG with its outlines")
    except (OSError, ET.ParseError) as error:
        check(False, f"the scalable icon reads as SVG ({error})")


def check_desktop_metadata(share):
    desktop = f"{share}/applications/cw-tamarik.desktop"
    result = run("desktop-file-validate", desktop)
    check(result.returncode == 0 and not result.stdout.strip(),
          "desktop-file-validate accepts the desktop entry without a remark: " + result.stdout)
    metainfo = f"{share}/metainfo/{APP_ID}.metainfo.xml"
    result = run("appstreamcli", "validate", "--no-net", "--no-color", metainfo)
    check(result.returncode == 0, "appstreamcli validate accepts the metadata: " + result.stdout)
    root = ET.parse(metainfo).getroot()
    launchable = root.findtext("launchable")
    check(launchable == os.path.basename(desktop), "the metadata launches the desktop entry")
    check(root.findtext("icon") == "cw-tamarik", "the metadata names the installed icon")
    langs = {s.get("{http://www.w3.org/XML/1998/namespace}lang") for s in root.findall("summary")}
    check({None, "ko"} <= langs, "the summary is given in English and Korean")


def homepage_of(share):
    try:
        root = ET.parse(f"{share}/metainfo/{APP_ID}.metainfo.xml").getroot()
    except (OSError, ET.ParseError):
        return None
    return next((url.text for url in root.findall("url") if url.get("type") == "homepage"), None)


def check_manual_pages(share, render):
    homepage = homepage_of(share)
    for name in ("cw-tamarik", "cw-tamarik-render", "cw-tamarik-decode"):
        page = f"{share}/man/man1/{name}.1.gz"
        check(os.path.exists(page), f"the manual page of {name} is installed compressed")
        if not os.path.exists(page):
            continue
        result = run("man", "--warnings", "-E", "UTF-8", "-l", page)
        check(result.returncode == 0 and not result.stderr.strip(),
              f"groff reads the page of {name} without a warning: {result.stderr.strip()}")
        source = gzip.open(page, "rt", encoding="utf-8").read()
        check(homepage is not None and homepage in source,
              f"the page of {name} gives the homepage the metadata names ({homepage})")
    page = f"{share}/man/man1/cw-tamarik-render.1.gz"
    if not os.path.exists(page):
        return
    text = gzip.open(page, "rt", encoding="utf-8").read().replace("\\-", "-")
    usage = run(render, "--help").stdout
    options = sorted(set(re.findall(r"^\s+(--?[a-z][a-z-]*)", usage, re.M)))
    check(len(options) >= 10, f"the renderer's help lists its options ({len(options)})")
    missing = [o for o in options if not re.search(r"(?<![\w-])" + re.escape(o) + r"(?![\w-])", text)]
    check(not missing, "the renderer's manual page describes every option: missing " + str(missing))


def main():
    build, render = sys.argv[1], sys.argv[2]
    with tempfile.TemporaryDirectory() as root:
        env = dict(os.environ, DESTDIR=root)
        result = subprocess.run(["cmake", "--install", build, "--prefix", "/usr"], env=env,
                                capture_output=True, text=True)
        check(result.returncode == 0, "the build tree installs: " + result.stderr)
        share = root + "/usr/share"
        for program in ("cw-tamarik", "cw-tamarik-render"):
            check(os.access(f"{root}/usr/bin/{program}", os.X_OK), f"{program} is installed")
        check(os.path.exists(f"{share}/doc/cw-tamarik/copyright"), "the copyright file is installed")
        check(os.path.exists(f"{share}/doc/cw-tamarik/changelog.gz"), "the changelog is installed")
        check_icons(share)
        check_desktop_metadata(share)
        check_manual_pages(share, render)
    print(f"{len(failures)} failure(s)")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
