#!/usr/bin/env python3
"""fldigi's CW decoder beside ours, on the same generated signals.

The band-decode bench writes each point's audio (one WAV a sitting of ten lines) and the text
keyed; this script plays every WAV in real time into a private null sink whose monitor is the
sound input of a headless fldigi (under Xvfb, driven over XML-RPC), reads back what fldigi
printed, and scores both fldigi's text and ours with the bench's own Levenshtein count
(engine_band_decode_bench --score). fldigi decodes in real time only, so the points run side
by side, each on a sink of its own; one fldigi for each chosen setting listens to each sink:
as it starts, with its squelch, with its matched filter, with its SOM decoding, or both.

  bench/fldigi_compare.py --bench build/bench/engine_band_decode_bench --work /tmp/fldigi-cmp

Needs: fldigi, xvfb (Xvfb), pulseaudio-utils (paplay, pactl) and a sound server started by
scripts/pulse-null-sink.sh (PulseAudio, or PipeWire with CWT_SOUND_SERVER=pipewire).
"""

import argparse
import os
import re
import shutil
import signal
import subprocess
import sys
import threading
import time
import xmlrpc.client
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent

# Name, bench options. The bench gives the same signals for the same options (seed 1).
POINTS = {
    "clean": ["--snr", "60"],
    "+10": ["--snr", "10"],
    "+6": ["--snr", "6"],
    "+2": ["--snr", "2"],
    "0": ["--snr", "0"],
    "-3": ["--snr", "-3"],
    "fade1": ["--doppler", "1", "--snr", "13.8"],
    "fade0.1": ["--doppler", "0.1", "--snr", "6"],
    "hand": ["--hand", "--snr", "20"],
}
DEFAULT_POINTS = ["+10", "+2", "0", "-3", "fade1", "hand"]

# fldigi starts without its first-run wizard when a configuration exists; everything not
# named keeps fldigi's own default. Receive speed 20 WPM with tracking (its default range of
# +-10 WPM covers every point).
CONFIG = """<FLDIGI_DEFS>
<AUDIOIO>2</AUDIOIO>
<CWSPEED>{wpm}</CWSPEED>
<CWTRACK>1</CWTRACK>
<CONFIRMEXIT>0</CONFIRMEXIT>
<XMLRPC_PORT>{port}</XMLRPC_PORT>
{extra}</FLDIGI_DEFS>
"""

# fldigi's settings tried: name, extra configuration, squelch. Its CW receive options are the
# matched filter (a filter whose width follows the speed, in place of the fixed 150 Hz one)
# and decoding by a self-organising map (letters matched to the nearest learned pattern rather
# than read element by element); "tuned" has both.
SETTINGS = {
    "fldigi": ("", False),
    "fldigi-sql": ("", True),
    "fldigi-mf": ("<CWMFILT>1</CWMFILT>\n", False),
    "fldigi-som": ("<CWUSESOMDECODING>1</CWUSESOMDECODING>\n", False),
    "fldigi-tuned": ("<CWMFILT>1</CWMFILT>\n<CWUSESOMDECODING>1</CWUSESOMDECODING>\n", False),
}
DEFAULT_SETTINGS = ["fldigi", "fldigi-tuned"]

SIGN = {"+": "[AR]", "=": "[BT]", "(": "[KN]"}


def cleaned_fldigi_text(text):
    """fldigi's procedure signs (<AR>, or the punctuation sharing their code) as ours."""
    text = re.sub(r"<([A-Z]{2,3})>", r"[\1]", text)
    return "".join(SIGN.get(c, c) for c in text).replace("\n", " ").replace("\r", " ")


def score(bench, sent, read):
    """(errors, symbols) by the bench's own count, blanks dropped."""
    out = subprocess.run([bench, "--score", str(sent), str(read)], check=True,
                         capture_output=True, text=True).stdout.split()
    return int(out[0]), int(out[1])


def start_xvfb():
    """An X server of our own on a free high display (low ones come and go with other tests)."""
    for number in range(600 + os.getpid() % 200, 1000):
        if Path("/tmp/.X%d-lock" % number).exists():
            continue
        xvfb = subprocess.Popen(["Xvfb", ":%d" % number, "-screen", "0", "1024x768x16",
                                 "-nolisten", "tcp", "-noreset"],
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        for _ in range(100):
            if Path("/tmp/.X11-unix/X%d" % number).exists() or xvfb.poll() is not None:
                break
            time.sleep(0.1)
        if xvfb.poll() is None:
            return xvfb, ":%d" % number
    sys.exit("no X server could be started")


class Fldigi:
    """One fldigi listening to one sink's monitor, with a configuration folder of its own."""

    def __init__(self, work, name, port, source, display, wpm, extra):
        self.dir = work / ("fldigi-" + name)
        shutil.rmtree(self.dir, ignore_errors=True)
        (self.dir / "config").mkdir(parents=True)
        (self.dir / "home").mkdir()
        (self.dir / "config" / "fldigi_def.xml").write_text(CONFIG.format(wpm=wpm, port=port,
                                                                            extra=extra))
        env = dict(os.environ, DISPLAY=display, PULSE_SOURCE=source)
        self.log = open(self.dir / "fldigi.log", "w")
        self.proc = subprocess.Popen(
            ["fldigi", "--config-dir", str(self.dir / "config"), "--home-dir",
             str(self.dir / "home"), "--xmlrpc-server-port", str(port),
             "--arq-server-port", str(port + 1000)],
            env=env, stdout=self.log, stderr=subprocess.STDOUT)
        self.rpc = xmlrpc.client.ServerProxy("http://127.0.0.1:%d" % port)

    def wait_ready(self, seconds=240):  # a dozen starting at once on a busy machine are slow
        end = time.time() + seconds
        while time.time() < end:
            try:
                self.rpc.fldigi.version()
                return True
            except (OSError, xmlrpc.client.Error):
                time.sleep(0.5)
        return False

    def set_up(self, pitch, squelch):
        self.rpc.modem.set_by_name("CW")
        self.rpc.modem.set_carrier(int(pitch))
        self.rpc.main.set_squelch(bool(squelch))
        self.rpc.text.clear_rx()

    def take_text(self):
        length = self.rpc.text.get_rx_length()
        data = self.rpc.text.get_rx(0, length) if length > 0 else b""
        self.rpc.text.clear_rx()
        raw = data.data if isinstance(data, xmlrpc.client.Binary) else str(data).encode()
        return cleaned_fldigi_text(raw.decode("utf-8", "replace"))

    def stop(self):
        self.proc.terminate()
        try:
            self.proc.wait(10)
        except subprocess.TimeoutExpired:
            self.proc.kill()
        self.log.close()


def play_point(sink, wavs, listeners, settle_s):
    """Plays the WAVs one after another; after each, each listener's text is saved beside it."""
    for wav in wavs:
        for f, _ in listeners:
            f.take_text()  # whatever came between files is not this file's
        subprocess.run(["paplay", "--latency-msec=500", "-d", sink, str(wav)], check=True)
        time.sleep(settle_s)  # fldigi prints a letter a few dots after its end
        for f, tag in listeners:
            wav.with_suffix("." + tag).write_text(f.take_text() + "\n")


def run(args):
    bench = str(Path(args.bench).resolve())
    work = Path(args.work).resolve()
    work.mkdir(parents=True, exist_ok=True)
    # The signals, and our reading of them, from the bench.
    point_dirs = {}
    for name in args.points:
        d = work / ("point" + name)
        point_dirs[name] = d
        if args.keep_wavs and any(d.glob("*.wav")):
            continue
        shutil.rmtree(d, ignore_errors=True)
        d.mkdir()
        subprocess.run([bench, *POINTS[name], "--chars", str(args.chars), "--wpm", str(args.wpm),
                        "--pitch", str(args.pitch), "--wav", str(d)], check=True,
                       stdout=subprocess.DEVNULL)

    xvfb, display = start_xvfb()
    fldigis = []
    threads = []
    modules = []
    try:
        port = args.port
        plan = []
        for index, name in enumerate(args.points):
            sink = "fldigi%d_point%d" % (os.getpid(), index)  # other runs may be playing
            modules.append(subprocess.run(
                ["pactl", "load-module", "module-null-sink", "sink_name=" + sink, "rate=8000",
                 "channels=1"], check=True, capture_output=True, text=True).stdout.strip())
            listeners = []
            for tag in args.settings:
                extra, _ = SETTINGS[tag]
                f = Fldigi(work, "%s-%s" % (name, tag), port, sink + ".monitor", display,
                           args.wpm, extra)
                port += 1
                fldigis.append(f)
                listeners.append((f, tag))
            plan.append((name, sink, listeners))
        for name, sink, listeners in plan:
            for f, tag in listeners:
                if not f.wait_ready():
                    sys.exit("fldigi did not answer on XML-RPC: see %s" % (f.dir / "fldigi.log"))
                f.set_up(args.pitch, SETTINGS[tag][1])
            wavs = sorted(point_dirs[name].glob("*.wav"))
            t = threading.Thread(target=play_point, args=(sink, wavs, listeners, args.settle))
            t.start()
            threads.append(t)
        for t in threads:
            t.join()
    finally:
        for f in fldigis:
            f.stop()
        xvfb.send_signal(signal.SIGTERM)
        for module in modules:
            subprocess.run(["pactl", "unload-module", module], stdout=subprocess.DEVNULL)

    print("Same WAVs for both; CER in %% by Levenshtein, blanks dropped; SNR key-on in 500 Hz; "
          "%g WPM paddle unless said; fldigi %s, CW, carrier %g Hz, receive speed %g WPM "
          "tracked." % (args.wpm, fldigi_version(), args.pitch, args.wpm))
    print("CER % of: ours, then fldigi " + ", ".join(
        "%s (%s)" % (tag, SETTINGS[tag][0].replace("\n", " ").strip() or "as it starts") +
        (" with squelch" if SETTINGS[tag][1] else "") for tag in args.settings))
    print("%-8s %-28s %6s %9s" % ("point", "bench options", "chars", "ours") +
          "".join(" %13s" % tag for tag in args.settings))
    for name in args.points:
        totals = {tag: [0, 0] for tag in ["ours", *args.settings]}
        for sent in sorted(point_dirs[name].glob("*.txt")):
            for tag in totals:
                e, n = score(bench, sent, sent.with_suffix("." + tag))
                totals[tag][0] += e
                totals[tag][1] += n
        rate = {tag: 100.0 * e / max(n, 1) for tag, (e, n) in totals.items()}
        print("%-8s %-28s %6d %9.2f" % (name, " ".join(POINTS[name]), totals["ours"][1],
                                         rate["ours"]) +
              "".join(" %13.2f" % rate[tag] for tag in args.settings))


def fldigi_version():
    out = subprocess.run(["fldigi", "--version"], capture_output=True, text=True).stdout
    m = re.search(r"\d+\.\d+\.\d+", out)
    return m.group(0) if m else "?"


def main():
    p = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    p.add_argument("--bench", default=str(ROOT / "build/bench/engine_band_decode_bench"))
    p.add_argument("--work", default="/tmp/cwt-fldigi-compare")
    p.add_argument("--points", nargs="+", default=DEFAULT_POINTS, choices=sorted(POINTS))
    p.add_argument("--settings", nargs="+", default=DEFAULT_SETTINGS, choices=list(SETTINGS),
                   help="fldigi's settings, one fldigi each per point")
    p.add_argument("--chars", type=int, default=1500)
    p.add_argument("--wpm", type=float, default=20)
    p.add_argument("--pitch", type=float, default=700)
    p.add_argument("--port", type=int, default=17400, help="first XML-RPC port")
    p.add_argument("--keep-wavs", action="store_true",
                   help="play the WAVs an earlier run wrote into --work again")
    p.add_argument("--settle", type=float, default=3.0, help="seconds after each file")
    args = p.parse_args()
    if "PULSE_SERVER" not in os.environ:
        sys.exit("start a sound server first: source scripts/pulse-null-sink.sh DIR")
    run(args)


if __name__ == "__main__":
    main()
