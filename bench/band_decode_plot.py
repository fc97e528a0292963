#!/usr/bin/env python3
"""Draws CER against SNR from the rows engine_band_decode_bench printed (one file or many):
English and Korean with paddle keying in white noise, with fading, and multimon-ng beside.
Optionally fldigi's figures from bench/fldigi_compare.py's output.

  bench/band_decode_plot.py --out docs/decoder-accuracy-cer.png ROWS.txt... [--fldigi OUT.txt]
"""

import argparse

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402


def bench_rows(paths):
    """(text, keying, wpm, fade Hz, SNR 500 Hz, CER %, multimon-ng %, jamo %) a row."""
    for path in paths:
        for line in open(path, encoding="utf-8"):
            f = line.split()
            if len(f) < 13 or f[0] not in ("English", "Korean"):
                continue
            keying = "hand" if f[1] == "hand" else f[1]
            rest = f[3:] if keying == "hand" else f[2:]  # "hand key" is two words
            wpm, fade, snr, cer = rest[0], float(rest[1]), float(rest[2]), float(rest[5])
            mmon = None if rest[9] == "-" else float(rest[9])
            jamo = None if rest[8] == "-" else float(rest[8])
            yield f[0], keying, wpm, fade, snr, cer, mmon, jamo


def fldigi_rows(path):
    """(SNR 500 Hz, fldigi's setting, its CER %) of the white-noise paddle points; the settings
    are the columns after "ours" in the script's header."""
    settings = []
    for line in open(path, encoding="utf-8"):
        f = line.split()
        if f[:2] == ["point", "bench"] and "ours" in f:
            settings = f[f.index("ours") + 1:]
        elif settings and len(f) == 5 + len(settings) and f[1] == "--snr":
            for tag, value in zip(settings, f[5:]):
                yield float(f[2]), tag, float(value)


def main():
    p = argparse.ArgumentParser()
    p.add_argument("rows", nargs="+")
    p.add_argument("--out", required=True)
    p.add_argument("--fldigi")
    args = p.parse_args()
    series = {}
    for text, keying, wpm, fade, snr, cer, mmon, jamo in bench_rows(args.rows):
        if keying != "paddle" or wpm != "20":
            continue
        name = text + (" syllables" if text == "Korean" else "")
        name += ", fading %g Hz" % fade if fade > 0 else ""
        series.setdefault(name, []).append((snr, cer))
        if jamo is not None:
            series.setdefault("Korean jamo", []).append((snr, jamo))
        if mmon is not None and fade == 0:
            series.setdefault("multimon-ng, English", []).append((snr, mmon))
    if args.fldigi:
        for snr, tag, cer in fldigi_rows(args.fldigi):
            series.setdefault("%s, English (about 1,000 characters)" % tag, []).append((snr, cer))
    fig, ax = plt.subplots(figsize=(7.5, 4.8))
    for name, pts in sorted(series.items()):
        pts.sort()
        style = "s--" if name.startswith(("multimon", "fldigi")) else "o-"
        ax.plot([x for x, _ in pts], [max(y, 0.01) for _, y in pts], style, label=name)
    ax.set_yscale("log")
    ax.set_xlabel("key-on SNR in 500 Hz (dB)")
    ax.set_ylabel("character error rate (%)")
    ax.set_title("Decoder of received CW: paddle, 20 WPM, 5,000 characters a point")
    ax.axhline(2, color="grey", ls=":")
    ax.axhline(10, color="grey", ls=":")
    ax.grid(True, which="both", alpha=0.3)
    ax.legend(fontsize=8)
    fig.tight_layout()
    fig.savefig(args.out, dpi=100)


if __name__ == "__main__":
    main()
