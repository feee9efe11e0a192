#!/usr/bin/env python3
"""Summarises benchmark runs of the simulated host.

Each run is SCENARIO:CONFIG:OUTPUT-FOLDER (CONFIG "plugin", "baseline" (an
older plug-in in the same run), "telemetry" (the plug-in with telemetry on)
or "host"); the
folder holds timing.csv, device-calls.csv and calls.log. Prints one set of
tables per scenario, by phase of the stage, plus the gauge renderer rows,
and plots the plug-in's share of frame time over each stage's timeline.
"""
import argparse
import csv
import os
import re
import sys
from collections import Counter, defaultdict

PHASES = ["pre-start", "driving", "finish", "menu"]
KINDS = ["state", "texture", "draw", "copy", "target", "create", "other"]
# Device calls per frame of the last release, by scenario and phase.
RELEASE_FIGURES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "simhost", "bench",
                               "release-device-calls.csv")


def read_release(path):
    """(label, {(scenario, phase): row}) from the release figures file; '#' lines are comments, the
    first one names the release."""
    if not os.path.exists(path):
        return None, {}
    with open(path, newline="") as f:
        lines = f.read().splitlines()
    notes = [l[1:].strip() for l in lines if l.startswith("#")]
    rows = csv.DictReader(l for l in lines if l and not l.startswith("#"))
    return (notes[0] if notes else "last release"), {(r["scenario"], r["phase"]): r for r in rows}


def read_csv(path):
    if not os.path.exists(path):
        return []
    with open(path, newline="") as f:
        return list(csv.DictReader(f))


def percentile(values, q):
    if not values:
        return float("nan")
    v = sorted(values)
    return v[min(len(v) - 1, int(round(q * (len(v) - 1))))]


def host_calls_by_frame(path):
    """IHostGame calls per frame and operation, from the host's call log."""
    per_frame = defaultdict(Counter)
    if not os.path.exists(path):
        return per_frame
    line_re = re.compile(r"^(-?\d+) (\S+) ")
    with open(path, errors="replace") as f:
        for line in f:
            m = line_re.match(line)
            if m and m.group(2) not in ("note", "fault"):
                per_frame[int(m.group(1))][m.group(2)] += 1
    return per_frame


class Run:
    def __init__(self, spec):
        self.scenario, self.config, self.folder = spec.split(":", 2)
        self.timing = read_csv(os.path.join(self.folder, "timing.csv"))
        self.device = {int(r["frame"]): r for r in read_csv(os.path.join(self.folder, "device-calls.csv"))}
        self.calls = host_calls_by_frame(os.path.join(self.folder, "calls.log"))
        if not self.timing:
            sys.exit(f"bench_summary: no timing.csv in {self.folder}")

    def phases(self):
        seen = [r["phase"] for r in self.timing]
        return [p for p in PHASES if p in seen] + sorted(set(seen) - set(PHASES))

    def rows(self, phase):
        return [r for r in self.timing if r["phase"] == phase]


def fmt(v, digits=1):
    return "-" if v != v else f"{v:.{digits}f}"


def table(headers, rows):
    """Plain text columns: numbers to the right, words to the left."""
    def numeric(c):
        try:
            float(c)
            return True
        except ValueError:
            return c == "-"
    widths = [max([len(str(h))] + [len(str(r[i])) for r in rows]) for i, h in enumerate(headers)]
    just = [all(numeric(str(r[i])) for r in rows) and i > 0 for i in range(len(headers))]
    cell = lambda c, i: str(c).rjust(widths[i]) if just[i] else str(c).ljust(widths[i])
    lines = ["  ".join(cell(h, i) for i, h in enumerate(headers)).rstrip()]
    lines.append("  ".join("-" * w for w in widths))
    lines += ["  ".join(cell(c, i) for i, c in enumerate(r)).rstrip() for r in rows]
    return "\n".join(lines)


def release_rows(scenario, plugin, release):
    """Device calls per frame now and in the last release, per phase."""
    label, figures = release
    rows = []
    for phase in plugin.phases():
        frames = [int(r["frame"]) for r in plugin.rows(phase)]
        dev = [plugin.device.get(f) for f in frames]
        if not any(dev):
            continue
        now = {k: sum(int(d[k]) for d in dev if d) / len(frames) for k in KINDS + ["total"]}
        old = figures.get((scenario, phase))
        cell = lambda k: f"{now[k]:.1f} ({float(old[k]):.1f})" if old else f"{now[k]:.1f} (-)"
        change = (f"{100.0 * (now['total'] - float(old['total'])) / float(old['total']):+.0f}%"
                  if old and float(old["total"]) else "-")
        rows.append([phase, cell("total"), cell("draw"), cell("texture"), cell("state"), change])
    return label, rows


def compare(scenario, plugin, baseline, host, title="baseline plug-in -> this plug-in"):
    """The older plug-in next to this one, per phase: device calls per frame by kind and the share of
    frame time (p50 ratio to the host's own time)."""
    def per_phase(run, phase):
        rows = run.rows(phase)
        frames = [int(r["frame"]) for r in rows]
        dev = [run.device.get(f) for f in frames]
        calls = {k: sum(int(d[k]) for d in dev if d) / max(1, len(frames)) for k in KINDS + ["total"]}
        share = [float(r["plugin_total_us"]) for r in rows]
        own = [max(1e-3, float(r["frame_total_us"]) - float(r["plugin_total_us"])) for r in rows]
        return calls, percentile(share, .5), percentile([s / o for s, o in zip(share, own)], .5)
    rows = []
    for phase in plugin.phases():
        if not baseline.rows(phase):
            continue
        (new, new_us, new_ratio), (old, old_us, old_ratio) = per_phase(plugin, phase), per_phase(baseline, phase)
        rows.append([phase] + [f"{old[k]:.1f} -> {new[k]:.1f}" for k in ["total", "draw", "texture", "state", "copy", "target"]] +
                    [f"{fmt(old_us)} -> {fmt(new_us)}", f"{fmt(old_ratio, 3)} -> {fmt(new_ratio, 3)}"])
    out = [f"== {scenario}: {title}, same host, same run (per frame, mean; time p50)"]
    out.append(table(["phase", "device calls", "draw", "texture", "state", "copy", "target", "plug-in us",
                      "share of host frame"], rows))
    return "\n".join(out)


def summarise(scenario, plugin, host, release=(None, {})):
    out = [f"== {scenario}: {len(plugin.timing)} frames, plug-in run vs host-alone run"]
    # Frame time.
    rows = []
    for phase in plugin.phases():
        pr = plugin.rows(phase)
        share = [float(r["plugin_total_us"]) for r in pr]
        own = [max(1e-3, float(r["frame_total_us"]) - float(r["plugin_total_us"])) for r in pr]
        ratio = [s / o for s, o in zip(share, own)]
        alone = [float(r["frame_total_us"]) for r in host.rows(phase)] if host else []
        # The host's own services (text, markers) called by the plug-in, and
        # what is left for the plug-in's own code.
        services = [float(r.get("host_game_us") or 0.0) for r in pr]
        itself = [max(0.0, s - h) for s, h in zip(share, services)]
        rows.append([phase, len(pr), fmt(percentile(share, .5)), fmt(percentile(share, .99)), fmt(max(share)),
                     fmt(percentile(ratio, .5), 3), fmt(percentile(ratio, .99), 3), fmt(max(ratio), 3),
                     fmt(percentile(services, .5)), fmt(percentile(itself, .5)),
                     fmt(percentile(own, .5)), fmt(percentile(alone, .5))])
    out.append("Plug-in share of frame time (us; ratio = plug-in / host's own time in the same frame;")
    out.append("host services = time inside the host's IHostGame calls, part of the share)")
    out.append(table(["phase", "frames", "p50 us", "p99 us", "max us", "p50 ratio", "p99 ratio", "max ratio",
                      "services p50", "own code p50", "host own p50", "host alone p50"], rows))
    # Calls and allocations per frame.
    rows = []
    for phase in plugin.phases():
        pr = plugin.rows(phase)
        frames = [int(r["frame"]) for r in pr]
        dev = [plugin.device.get(f) for f in frames]
        kinds = [sum(int(d[k]) for d in dev if d) / len(frames) for k in KINDS]
        total = [int(d["total"]) for d in dev if d]
        host_calls = [int(r["host_calls"]) for r in pr]
        allocs = [int(r["allocations"]) for r in pr if r.get("allocations", "") != ""]
        rows.append([phase] + [fmt(k) for k in kinds] +
                    [fmt(sum(total) / len(frames)) if total else "-", max(total) if total else "-",
                     fmt(sum(host_calls) / len(frames)),
                     fmt(sum(allocs) / len(allocs), 2) if allocs else "-", max(allocs) if allocs else "-",
                     sum(1 for a in allocs if a) if allocs else "-"])
    out.append("")
    out.append("Per frame, mean (device calls by kind, host IHostGame calls, heap allocations of the plug-in)")
    out.append(table(["phase"] + KINDS + ["dev total", "dev max", "host calls", "allocs", "alloc max",
                                          "frames w/ alloc"], rows))
    label, rows = release_rows(scenario, plugin, release)
    if rows:
        out.append("")
        out.append(f"Device calls per frame, now (last release: {label or 'no figures'})")
        out.append(table(["phase", "total", "draw", "texture", "state", "total change"], rows))
    # The host calls behind the mean, by operation.
    rows = []
    for phase in plugin.phases():
        frames = [int(r["frame"]) for r in plugin.rows(phase)]
        ops = Counter()
        for f in frames:
            ops.update(plugin.calls.get(f, {}))
        top = ", ".join(f"{op} {n / len(frames):.1f}" for op, n in ops.most_common(6)) or "none"
        rows.append([phase, top])
    out.append("")
    out.append("IHostGame calls per frame by operation (from the call log)")
    out.append(table(["phase", "operations"], rows))
    startup = plugin.device.get(-1)
    if startup:
        out.append(f"start-up device calls: {startup['total']}")
    return "\n".join(out)


def plot(runs, path):
    series = [(r.scenario if r.config == "plugin" else f"{r.scenario} (baseline)",
               [float(x["plugin_total_us"]) for x in r.timing], [x["phase"] for x in r.timing])
              for r in runs if r.config in ("plugin", "baseline")]
    if not series:
        return None
    try:
        import matplotlib
        matplotlib.use("Agg")
        import matplotlib.pyplot as plt
        fig, axes = plt.subplots(len(series), 1, figsize=(12, 3.2 * len(series)), squeeze=False)
        for ax, (name, values, _) in zip(axes[:, 0], series):
            ax.plot(values, linewidth=0.7)
            ax.set_title(f"{name}: plug-in time per frame")
            ax.set_xlabel("frame")
            ax.set_ylabel("us")
        fig.tight_layout()
        fig.savefig(path, dpi=100)
        return "matplotlib"
    except ImportError:
        pass
    from PIL import Image, ImageDraw
    colours = {"pre-start": (255, 236, 200), "driving": (220, 236, 255), "finish": (220, 255, 220),
               "menu": (236, 236, 236)}
    w, h, margin = 1200, 300, 50
    img = Image.new("RGB", (w, h * len(series)), "white")
    d = ImageDraw.Draw(img)
    for i, (name, values, phases) in enumerate(series):
        top = i * h
        # Clip at twice the 99th percentile so one start-up frame does not flatten the rest.
        ymax = max(1.0, 2 * percentile(values, .99))
        n = len(values)
        x_of = lambda f: margin + (w - 2 * margin) * f / max(1, n - 1)
        y_of = lambda v: top + h - margin - (h - 2 * margin) * min(v, ymax) / ymax
        for f, p in enumerate(phases):
            d.line([(x_of(f), top + margin), (x_of(f), top + h - margin)], fill=colours.get(p, (250, 250, 250)))
        d.rectangle([margin, top + margin, w - margin, top + h - margin], outline="black")
        d.line([(x_of(f), y_of(v)) for f, v in enumerate(values)], fill=(20, 60, 200), width=1)
        d.text((margin, top + 10), f"{name}: plug-in time per frame (us), max {max(values):.0f} us; "
               f"background: pre-start / driving / finish / menu", fill="black")
        d.text((5, top + margin - 5), f"{ymax:.0f}", fill="black")
        d.text((5, top + h - margin - 5), "0", fill="black")
        d.text((w - margin - 40, top + h - margin + 5), f"{n} frames", fill="black")
    img.save(path)
    return "Pillow"


def print_variants(path, title, *ratios):
    """The rows of a micro benchmark and, per (slow, fast, name), the ratio of their medians."""
    rows = read_csv(path)
    print(f"== {title}")
    print(table(["variant", "frames", "p50 us", "p99 us", "max us", "mean us"],
                [[r["variant"], r["frames"], r["p50_us"], r["p99_us"], r["max_us"], r["mean_us"]] for r in rows]))
    by = {r["variant"]: float(r["p50_us"]) for r in rows}
    for slow, fast, ratio_name in ratios:
        if by.get(fast) and slow in by:
            print(f"{ratio_name}, p50: {by[slow] / by[fast]:.2f}x")
    print()


def main():
    ap = argparse.ArgumentParser(description=__doc__)
    ap.add_argument("runs", nargs="+", help="SCENARIO:CONFIG:FOLDER")
    ap.add_argument("--gauge", help="CSV of the gauge renderer bench")
    ap.add_argument("--diagram", help="CSV of the damage diagram bench")
    ap.add_argument("--plot", help="PNG to write")
    ap.add_argument("--ia32", help="how 32-bit code ran (native or emulated): times compare only within one mode")
    ap.add_argument("--release", default=RELEASE_FIGURES, help="CSV of the last release's device calls")
    a = ap.parse_args()
    if a.ia32:
        print(f"32-bit code ran {a.ia32}")
        print()
    runs = [Run(s) for s in a.runs]
    release = read_release(a.release)
    for scenario in dict.fromkeys(r.scenario for r in runs):
        plugin = next((r for r in runs if r.scenario == scenario and r.config == "plugin"), None)
        host = next((r for r in runs if r.scenario == scenario and r.config == "host"), None)
        baseline = next((r for r in runs if r.scenario == scenario and r.config == "baseline"), None)
        if plugin:
            print(summarise(scenario, plugin, host, release))
            print()
        if plugin and baseline:
            print(compare(scenario, plugin, baseline, host))
            print()
        telemetry = next((r for r in runs if r.scenario == scenario and r.config == "telemetry"), None)
        if plugin and telemetry:
            print(compare(scenario, telemetry, plugin, host, "telemetry off -> on"))
            print()
    if a.gauge:
        print_variants(a.gauge, "gauge renderer on a 1024 x 1024 texture (us per Render)",
                       ("WholeTexture", "RefreshRects", "whole texture / refresh rectangles"),
                       ("WholeTextureManaged", "WholeTexture", "managed texture / render target, whole texture"),
                       ("RefreshRectsManaged", "RefreshRects", "managed texture / render target, refresh rectangles"))
    if a.diagram:
        print_variants(a.diagram, "damage diagram, 88 part images, each frame finished on the device (us per frame)",
                       ("WholeImages", "VisibleTexels", "whole images / visible texels"),
                       ("VisibleTexels", "Atlas", "visible texels one by one / one atlas draw"))
    if a.plot:
        how = plot(runs, a.plot)
        if how:
            print(f"plot: {a.plot} ({how})")


if __name__ == "__main__":
    main()
