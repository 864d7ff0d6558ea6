#!/usr/bin/env python3
"""Figures of korvex runs on simulated reads whose true origins are known.

  measure.py score --dataset NAME --group GROUP --sam ALIGNED.sam --truth TRUTH.tsv
                   --json OUT.json [--output KORVEX_OUTPUT] [--console STDOUT]
                   [--errors STDERR] [--status N] [--seconds S] [--command TEXT]
                   [--aligner TEXT] [--setting KEY=VALUE ...] [--tolerance 5]
      Reads korvex's output (SAMplus, or SAM with ZP:f/ZU:f tags) when the run succeeded,
      else the aligner's SAM file alone, and writes the figures of one data set as JSON.

  measure.py report DIR JSON...
      Writes DIR/figures.tsv, DIR/fates.tsv and DIR/calibration.tsv from the JSON files
      and prints one markdown table per group of data sets.

Definitions:
  alignment line   a SAM record without FLAG 0x4;
  unit             a read, or one mate of a pair (FLAG 0x40 / 0x80): a mate line belongs
                   to its mate, and is at the true place when that mate's origin matches;
  at the true place  same chromosome and strand, and the line's leftmost read base
                   (POS minus the clipped bases, soft and hard, at the left end of the
                   CIGAR) within --tolerance bases of the true leftmost base;
  multiread        a unit with two or more lines that got a value;
  aligner primary  the unit's first alignment line without FLAG 0x100 and 0x800 (bowtie 1
                   sets no 0x100, so that is its first line);
  calibration      over every line of the multireads, ten bins of the value ([0,0.1), ...,
                   [0.9,1.0]): the mean value and the share at the true place per bin; the
                   mean absolute difference between the two, weighted by the lines per bin.
"""
import argparse
import csv
import json
import os
import re
import sys
from collections import Counter

CIGAR_OP = re.compile(r"(\d+)([MIDNSHP=X])")
MD_TOKEN = re.compile(r"(\d+)|(\^[A-Za-z]+)|([A-Za-z])")
SUMMARY_ITEM = re.compile(r"^  (\S[^:]*):\s*(.*)$")
SUMMARY_REASON = re.compile(r"^    (.+): ([\d,]+)(?: \(first at line ([\d,]+)\))?\s*$")
BINS = 10
DEFAULT_SETTINGS = {"MAX_NUM_MISMATCHES_FOR_TOP_HITS": 2,
                    "EXTRA_NUM_MISMATCHES_FOR_ADDITIONAL_HITS": 2, "MAX_ALIGNMENTS": 5}


# ---------------------------------------------------------------- one SAM line

class Line:
    """What the figures need of one alignment line."""
    __slots__ = ("flag", "chrom", "pos", "strand", "left", "clipped", "clip_bases",
                 "spliced", "gapped", "supplementary", "secondary", "length",
                 "md_mismatches", "md_fits", "zu", "zp", "right")

    def __init__(self, fields, zu, zp):
        self.flag = int(fields[1])
        self.chrom = fields[2]
        self.strand = "-" if self.flag & 16 else "+"
        self.zu, self.zp = zu, zp
        self.secondary = bool(self.flag & 0x100)
        self.supplementary = bool(self.flag & 0x800)
        ops = [(int(n), op) for n, op in CIGAR_OP.findall(fields[5])]
        left = leading_clip(ops)
        right = leading_clip(ops[::-1])
        self.clip_bases = left + right
        self.clipped = self.clip_bases > 0
        middle = strip_clips(ops)
        self.spliced = any(op == "N" for _, op in middle)
        # Insertions, deletions, padding and clips inside the alignment.
        self.gapped = any(op in "IDPSH" for _, op in middle)
        self.pos = int(fields[3]) - left
        seq = fields[9]
        hard = sum(n for n, op in ops if op == "H")
        self.length = len(seq) + hard if seq != "*" else None
        aligned = sum(n for n, op in middle if op in "M=X")
        self.md_mismatches, self.md_fits = read_md(fields[11:], aligned if ops else None)
        self.right = False

    def mismatches(self, clips_count):
        return self.md_mismatches + (self.clip_bases if clips_count else 0)


def leading_clip(ops):
    total = 0
    for count, op in ops:
        if op not in "SH":
            break
        total += count
    return total


def strip_clips(ops):
    first, last = 0, len(ops)
    while first < last and ops[first][1] in "SH":
        first += 1
    while last > first and ops[last - 1][1] in "SH":
        last -= 1
    return ops[first:last]


def read_md(tags, aligned):
    """(mismatches, whether MD describes `aligned` bases without a deletion)."""
    for tag in tags:
        if tag.startswith("MD:Z:"):
            mismatches, covered, deletion = 0, 0, False
            for number, deleted, base in MD_TOKEN.findall(tag[5:]):
                if number:
                    covered += int(number)
                elif deleted:
                    deletion = True
                else:
                    mismatches += 1
                    covered += 1
            return mismatches, not deletion and (aligned is None or covered == aligned)
    return 0, False


# ---------------------------------------------------------------- reading the files

def parse_value(text):
    return None if text in ("NA", "") else float(text)


def values_of(fields):
    """(fields of the SAM record, ZU, ZP) of a korvex output line."""
    if fields[-1] == "" and len(fields) >= 14:  # SAMplus: record, ZU, ZP, each ending in a tab
        return fields[:-3], parse_value(fields[-3]), parse_value(fields[-2])
    zu = zp = None
    kept = []
    for field in fields:
        if field.startswith("ZP:f:"):
            zp = float(field[5:])
        elif field.startswith("ZU:f:"):
            zu = float(field[5:])
        else:
            kept.append(field)
    return kept, zu, zp


def records(path, with_values):
    """Yields (QNAME, Line) for every record; mapped lines only carry figures."""
    with open(path) as f:
        for text in f:
            if text.startswith("@"):
                continue
            fields = text.rstrip("\n").split("\t")
            zu = zp = None
            if with_values:
                fields, zu, zp = values_of(fields)
            yield fields[0], Line(fields, zu, zp)


def units(path, with_values):
    """Yields (key, lines) per read or mate: the lines of one QNAME stand together."""
    current, group = None, []
    for name, line in records(path, with_values):
        if name != current and group:
            yield from split_mates(current, group)
            group = []
        current = name
        group.append(line)
    if group:
        yield from split_mates(current, group)


def split_mates(name, lines):
    mates = {}
    for line in lines:
        mate = 1 if line.flag & 0x40 else 2 if line.flag & 0x80 else 0
        mates.setdefault(mate, []).append(line)
    for mate, mate_lines in sorted(mates.items()):
        yield (name if mate == 0 else "%s/%d" % (name, mate)), mate_lines


def read_truth(path):
    truth = {}
    with open(path) as f:
        for row in csv.DictReader(f, delimiter="\t"):
            truth[row["read_id"]] = (row["chrom"], int(row["pos"]), row["strand"])
    return truth


def parse_summary(path):
    """The summary's items and its reasons: [{section, reason, count, first_line}]."""
    items, reasons = {}, []
    if not path or not os.path.exists(path):
        return items, reasons
    section, inside = None, False
    with open(path, errors="replace") as f:
        for text in f:
            text = text.rstrip("\n")
            if text == "Summary":
                inside, items, reasons = True, {}, []
                continue
            if not inside:
                continue
            match = SUMMARY_REASON.match(text)
            if match and section:
                reasons.append({"section": section, "reason": match.group(1),
                                "count": int(match.group(2).replace(",", "")),
                                "first_line": match.group(3)})
                continue
            match = SUMMARY_ITEM.match(text)
            if match:
                section = match.group(1)
                items[section] = match.group(2)
    return items, reasons


def last_error(path):
    if not path or not os.path.exists(path):
        return ""
    with open(path, errors="replace") as f:
        lines = [line.strip() for line in f if line.strip()]
    return lines[-1] if lines else ""


# ---------------------------------------------------------------- what the build scores

class Capabilities:
    """What the build scores, read off the lines that got a value: older builds reject
    clipped lines, MD tags with more than 3 mismatches and reads of another length than
    the run's first; some score spliced lines as if unspliced."""

    def __init__(self, path):
        self.clips = self.many_mismatches = self.spliced = False
        valued_lengths, lengths = set(), set()
        for _, line in records(path, True):
            if line.flag & 4:
                continue
            lengths.add(line.length)
            if line.zp is None and line.zu is None:
                continue
            valued_lengths.add(line.length)
            self.clips |= line.clipped
            self.many_mismatches |= line.md_mismatches > 3
            self.spliced |= line.spliced
        valued_lengths.discard(None)
        lengths.discard(None)
        self.run_length = (next(iter(valued_lengths))
                           if len(valued_lengths) == 1 and len(lengths) > 1 else None)

    def line_reason(self, line):
        """Why a line cannot be scored by this build, or None."""
        if line.supplementary:
            return "supplementary line (FLAG 0x800)"
        if line.spliced and not self.spliced:
            return "spliced (N in CIGAR)"
        if line.gapped:
            return "insertion, deletion or other gap in CIGAR"
        if not line.md_fits:
            return "no MD:Z tag, or one that does not fit the CIGAR"
        if line.clipped and not self.clips:
            return "clipped"
        if line.md_mismatches > 3 and not self.many_mismatches:
            return "more than 3 mismatches in MD:Z"
        if self.run_length is not None and line.length not in (None, self.run_length):
            return "another read length than the run's first"
        return None

    def describe(self):
        return {"scores_clipped_lines": self.clips,
                "scores_more_than_3_md_mismatches": self.many_mismatches,
                "scores_spliced_lines": self.spliced, "run_wide_read_length": self.run_length}


READ_BEST_ABOVE = "read's best alignment has more than %d mismatches"
READ_TOO_MANY = "read with more than %d alignments"


def explain_missing(lines, capabilities, settings, fates, dropped_reads):
    """Counts, by likely cause, the alignment lines of one single-end read that got no value,
    and the read itself in `dropped_reads` when the keep rules drop it whole."""
    most = settings["MAX_NUM_MISMATCHES_FOR_TOP_HITS"]
    extra = settings["EXTRA_NUM_MISMATCHES_FOR_ADDITIONAL_HITS"]
    most_alignments = settings["MAX_ALIGNMENTS"]
    mapped = [line for line in lines if not line.flag & 4]
    reasons = {id(line): capabilities.line_reason(line) for line in mapped}
    candidates = [line for line in mapped if reasons[id(line)] is None]
    read_has_value = any(line.zp is not None or line.zu is not None for line in mapped)
    mismatches = {id(line): line.mismatches(capabilities.clips) for line in candidates}
    best = min(mismatches.values()) if candidates else None
    kept = [line for line in candidates if mismatches[id(line)] <= best + extra] if candidates else []
    for line in mapped:
        if line.zp is not None or line.zu is not None:
            continue
        reason = reasons[id(line)]
        if reason is None:
            if not read_has_value and best > most:
                reason = READ_BEST_ABOVE % most
            elif not read_has_value and len(kept) > most_alignments:
                reason = READ_TOO_MANY % most_alignments
            elif mismatches[id(line)] > best + extra:
                reason = "more than %d mismatches above the read's best" % extra
            else:
                reason = "other"
        fates[reason] += 1
    if not read_has_value and candidates:
        if best > most:
            dropped_reads[READ_BEST_ABOVE % most] += 1
        elif len(kept) > most_alignments:
            dropped_reads[READ_TOO_MANY % most_alignments] += 1


# ---------------------------------------------------------------- figures

class Figures:
    def __init__(self):
        self.count = Counter()
        self.calibration = {"ZP": [[0, 0.0, 0] for _ in range(BINS)],
                            "ZU": [[0, 0.0, 0] for _ in range(BINS)]}
        self.sam_fates = Counter()
        self.sam_dropped_reads = Counter()

    def add_unit(self, lines, origin, tolerance, paired_primary=None):
        mapped = [line for line in lines if not line.flag & 4]
        self.count["unmapped_records"] += len(lines) - len(mapped)
        if not mapped:
            return
        for line in mapped:
            line.right = at_true_place(line, origin, tolerance)
        c = self.count
        c["units"] += 1
        c["lines"] += len(mapped)
        primary = primary_of(mapped)
        c["primary_right_all"] += primary.right
        if len(mapped) >= 2:
            c["units_aligned_twice"] += 1
            c["primary_right_aligned_twice"] += primary.right
        valued = [line for line in mapped if line.zp is not None or line.zu is not None]
        c["lines_with_value"] += len(valued)
        c["spliced_with_value"] += sum(line.spliced for line in valued)
        c["spliced_with_value_1_wrong"] += sum(line.spliced and line.zp == 1.0 and not line.right
                                               for line in valued)
        if len(mapped) >= 2 and valued and all(line.zp is not None for line in valued):
            # every unit the aligner placed twice or more that got a value, a unique one included:
            # for pairs, most mates that their pairing places alone
            c["valued_twice"] += 1
            c["primary_right_valued_twice"] += primary.right
            top = max(range(len(valued)), key=lambda i: (valued[i].zp, -i))
            c["top_ZP_right_valued_twice"] += valued[top].right
        if len(valued) == 1:
            c["unique"] += 1
            c["unique_wrong"] += not valued[0].right
        elif len(valued) >= 2:
            self.add_multiread(valued, primary)
            if paired_primary is not None:
                c["paired_primary_known"] += 1
                c["paired_primary_right"] += paired_primary

    def add_multiread(self, valued, primary):
        c = self.count
        c["multireads"] += 1
        c["multiread_lines"] += len(valued)
        c["true_place_among_values"] += any(line.right for line in valued)
        c["primary_right"] += primary.right
        for name in ("ZP", "ZU"):
            values = [getattr(line, name.lower()) for line in valued]
            if any(value is None for value in values):
                continue
            c["multireads_" + name] += 1
            top = max(range(len(valued)), key=lambda i: (values[i], -i))  # first of equals
            c["top_%s_right" % name] += valued[top].right
            c["%s_sum_off" % name] += abs(sum(values) - 1.0) > 1e-3
            for value, line in zip(values, valued):
                cell = self.calibration[name][min(int(value * BINS), BINS - 1)]
                cell[0] += 1
                cell[1] += value
                cell[2] += line.right


def at_true_place(line, origin, tolerance):
    return (origin is not None and line.chrom == origin[0] and line.strand == origin[2]
            and abs(line.pos - origin[1]) <= tolerance)


def primary_of(mapped):
    return next((line for line in mapped if not line.secondary and not line.supplementary),
                mapped[0])


def paired_primaries(sam, truth_path, tolerance):
    """{NAME_1 or NAME_2: whether the paired aligner's primary line of that mate is at the
    true place}, for comparing the single-end treatment of the same mates."""
    truth = read_truth(truth_path)
    right = {}
    for key, lines in units(sam, False):
        mapped = [line for line in lines if not line.flag & 4]
        if "/" in key and mapped:
            name, _, mate = key.rpartition("/")
            right["%s_%s" % (name, mate)] = at_true_place(primary_of(mapped), truth.get(key),
                                                           tolerance)
    return right


def share(part, whole):
    return None if not whole else part / whole


def calibration_rows(cells):
    rows, weighted, total = [], 0.0, 0
    for i, (count, value_sum, right) in enumerate(cells):
        mean = share(value_sum, count)
        observed = share(right, count)
        rows.append({"bin": "[%.1f,%.1f%s" % (i / BINS, (i + 1) / BINS, "]" if i == BINS - 1 else ")"),
                     "lines": count, "mean_value": mean, "observed": observed})
        if count:
            weighted += count * abs(mean - observed)
            total += count
    return rows, share(weighted, total)


def parse_settings(pairs):
    settings = dict(DEFAULT_SETTINGS)
    for pair in pairs:
        key, _, value = pair.partition("=")
        if key in settings:
            settings[key] = int(value)
    return settings


def score(args):
    truth = read_truth(args.truth)
    korvex_ran = args.status == 0 and args.output and os.path.exists(args.output)
    path = args.output if korvex_ran else args.sam
    settings = parse_settings(args.setting)
    single_end = True
    capabilities = Capabilities(path) if korvex_ran else None
    figures = Figures()
    paired = (paired_primaries(args.paired_sam, args.paired_truth, args.tolerance)
              if args.paired_sam else {})
    missing_truth = 0
    for key, lines in units(path, korvex_ran):
        origin = truth.get(key)
        missing_truth += origin is None
        single_end &= "/" not in key
        figures.add_unit(lines, origin, args.tolerance, paired.get(key) if paired else None)
        if korvex_ran:
            explain_missing(lines, capabilities, settings, figures.sam_fates,
                            figures.sam_dropped_reads)
    if missing_truth:
        print("measure: %s: %d reads without a truth record" % (args.dataset, missing_truth),
              file=sys.stderr)

    c = figures.count
    items, reasons = parse_summary(args.console)
    result = {
        "dataset": args.dataset, "group": args.group, "aligner": args.aligner,
        "korvex_command": args.command, "korvex_status": args.status,
        "korvex_seconds": args.seconds, "korvex_ran": bool(korvex_ran),
        "korvex_message": "" if korvex_ran else last_error(args.errors),
        "tolerance": args.tolerance, "paired": not single_end, "settings": settings,
        "counts": dict(c), "reads_without_truth": missing_truth,
        "share_with_value": share(c["lines_with_value"], c["lines"]) if korvex_ran else None,
        "top_ZP_right": share(c["top_ZP_right"], c["multireads_ZP"]),
        "top_ZU_right": share(c["top_ZU_right"], c["multireads_ZU"]),
        "primary_right": share(c["primary_right"], c["multireads"]),
        "paired_primary_right": share(c["paired_primary_right"], c["paired_primary_known"]),
        "true_place_among_values": share(c["true_place_among_values"], c["multireads"]),
        "primary_right_aligned_twice": share(c["primary_right_aligned_twice"],
                                             c["units_aligned_twice"]),
        "primary_right_all": share(c["primary_right_all"], c["units"]),
        "top_ZP_right_valued_twice": share(c["top_ZP_right_valued_twice"], c["valued_twice"]),
        "primary_right_valued_twice": share(c["primary_right_valued_twice"], c["valued_twice"]),
        "summary_items": items, "summary_reasons": reasons,
        "stderr_last_line": last_error(args.errors),
        "calibration": {}, "calibration_mad": {},
    }
    for name, cells in figures.calibration.items():
        result["calibration"][name], result["calibration_mad"][name] = calibration_rows(cells)
    if korvex_ran and single_end:
        result["capabilities"] = capabilities.describe()
        result["sam_fates"] = dict(figures.sam_fates)
        result["sam_dropped_reads"] = dict(figures.sam_dropped_reads)
    with open(args.json, "w") as out:
        json.dump(result, out, indent=1)
        out.write("\n")


# ---------------------------------------------------------------- report

def percent(value, digits=1):
    return "" if value is None else "%.*f %%" % (digits, 100 * value)


def number(value, digits=3):
    return "" if value is None else "%.*f" % (digits, value)


def korvex_fates(result):
    """The summary's rejections and drops: [(section, reason, count, share of lines)]."""
    rows = []
    lines = result["counts"].get("lines", 0)
    for item in result["summary_reasons"]:
        if "rejected" in item["section"] or "dropped" in item["section"]:
            per_line = item["section"].startswith("lines")
            rows.append((item["section"], item["reason"], item["count"],
                         share(item["count"], lines) if per_line else None))
    return rows


def where_the_rest_went(result):
    if not result["korvex_ran"]:
        message = re.sub(r"^KORVEX v\S*: ", "", result["korvex_message"])
        message = re.sub(r"\(/[^)]*/", "(", message)  # paths without their directory
        return "refused (status %d): %s" % (result["korvex_status"], message.replace("|", "/"))
    parts = []
    for section, reason, count, fraction in sorted(korvex_fates(result), key=lambda r: -r[2]):
        if reason == "unmapped":
            continue
        amount = percent(fraction) if fraction is not None else "{:,}".format(count)
        unit = "" if fraction is not None or reason.startswith(section.split()[0]) else " " + section.split()[0]
        parts.append("%s%s %s" % (amount, unit, reason))
    text = "; ".join(parts) if parts else "none rejected"
    estimates = sorted(result.get("sam_fates", {}).items(), key=lambda item: -item[1])
    lines = result["counts"].get("lines", 0)
    reads = result.get("sam_dropped_reads", {})
    shown = ["%s %s%s" % (percent(share(n, lines)), reason,
                          " (%s reads)" % "{:,}".format(reads[reason]) if reason in reads else "")
             for reason, n in estimates if share(n, lines) >= 0.001]
    if shown:
        text += ". From the SAM: " + "; ".join(shown)
    return text


def single_values_wrong(result):
    counts = result["counts"]
    text = "{:,}".format(counts.get("unique_wrong", 0))
    if counts.get("spliced_with_value"):
        text += "; spliced lines with a value: {:,} ({:,} with ZP 1 at the wrong place)".format(
            counts["spliced_with_value"], counts.get("spliced_with_value_1_wrong", 0))
    return text


TABLE_COLUMNS = [
    ("data set", lambda r: r["dataset"]),
    ("aligner", lambda r: "`%s`" % r["aligner"]),
    ("lines with a value", lambda r: percent(r["share_with_value"]) if r["korvex_ran"] else "none"),
    ("where the rest went (summary; then likely causes from the SAM)", where_the_rest_went),
    ("multireads", lambda r: "{:,}".format(r["counts"].get("multireads", 0))),
    ("top ZP right", lambda r: percent(r["top_ZP_right"])),
    ("top ZU right", lambda r: percent(r["top_ZU_right"])),
    ("primary right (same multireads)", lambda r: percent(r["primary_right"]) + (
        " (paired: %s)" % percent(r["paired_primary_right"]) if r.get("paired_primary_right") else "")),
    ("true place among them", lambda r: percent(r["true_place_among_values"])),
    ("primary right (aligned twice or more)", lambda r: "%s of %s" % (
        percent(r["primary_right_aligned_twice"]),
        "{:,}".format(r["counts"].get("units_aligned_twice", 0)))),
    ("top ZP right (aligned twice or more, with a value; primary)", lambda r: "%s of %s (%s)" % (
        percent(r.get("top_ZP_right_valued_twice")), "{:,}".format(r["counts"].get("valued_twice", 0)),
        percent(r.get("primary_right_valued_twice")))),
    ("ZP calibration", lambda r: number(r["calibration_mad"]["ZP"])),
    ("ZU calibration", lambda r: number(r["calibration_mad"]["ZU"])),
    ("one value, wrong place", lambda r: single_values_wrong(r) if r["korvex_ran"] else ""),
    ("korvex s", lambda r: number(r["korvex_seconds"], 1)),
]


def markdown_table(results):
    out = ["| " + " | ".join(name for name, _ in TABLE_COLUMNS) + " |",
           "|" + "---|" * len(TABLE_COLUMNS)]
    for result in results:
        out.append("| " + " | ".join(str(cell(result)) for _, cell in TABLE_COLUMNS) + " |")
    return "\n".join(out)


def calibration_table(results):
    out = ["| data set | value | " + " | ".join(
        row["bin"] for row in results[0]["calibration"]["ZP"]) + " | difference |",
           "|---|---|" + "---|" * (BINS + 1)]
    for result in results:
        for name in ("ZP", "ZU"):
            if result["calibration_mad"][name] is None:
                continue
            cells = ["%s (%d)" % (percent(row["observed"], 0), row["lines"]) if row["lines"] else ""
                     for row in result["calibration"][name]]
            out.append("| %s | %s | %s | %s |" % (result["dataset"], name, " | ".join(cells),
                                                  number(result["calibration_mad"][name])))
    return "\n".join(out)


FIGURE_COLUMNS = ["dataset", "group", "aligner", "korvex_status", "korvex_ran", "korvex_seconds",
                  "lines", "lines_with_value", "share_with_value", "units", "unmapped_records",
                  "unique", "unique_wrong", "multireads", "multiread_lines", "top_ZP_right",
                  "top_ZU_right", "primary_right", "paired_primary_right", "true_place_among_values", "units_aligned_twice",
                  "primary_right_aligned_twice", "primary_right_all", "ZP_calibration_mad",
                  "ZU_calibration_mad", "ZP_sum_off", "ZU_sum_off", "spliced_with_value",
                  "spliced_with_value_1_wrong", "tolerance", "korvex_message", "korvex_command"]


def figure_row(result):
    row = dict(result["counts"])
    row.update({key: value for key, value in result.items() if not isinstance(value, (dict, list))})
    row["ZP_calibration_mad"] = result["calibration_mad"]["ZP"]
    row["ZU_calibration_mad"] = result["calibration_mad"]["ZU"]
    return ["" if row.get(column) is None else row.get(column, 0) for column in FIGURE_COLUMNS]


def write_tsv(path, header, rows):
    with open(path, "w", newline="") as out:
        writer = csv.writer(out, delimiter="\t", lineterminator="\n")
        writer.writerow(header)
        writer.writerows(rows)


def report(args):
    results = []
    for path in args.json:
        with open(path) as f:
            results.append(json.load(f))
    write_tsv(os.path.join(args.dir, "figures.tsv"), FIGURE_COLUMNS,
              [figure_row(result) for result in results])
    fates = []
    for result in results:
        for section, reason, count, fraction in korvex_fates(result):
            fates.append([result["dataset"], "summary: " + section, reason, count,
                          "" if fraction is None else fraction])
        lines = result["counts"].get("lines", 0)
        for reason, count in sorted(result.get("sam_fates", {}).items(), key=lambda i: -i[1]):
            fates.append([result["dataset"], "estimated from the SAM: lines", reason, count,
                          share(count, lines)])
        for reason, count in sorted(result.get("sam_dropped_reads", {}).items()):
            fates.append([result["dataset"], "estimated from the SAM: reads", reason, count, ""])
    write_tsv(os.path.join(args.dir, "fates.tsv"),
              ["dataset", "source", "reason", "count", "share_of_alignment_lines"], fates)
    calibration = []
    for result in results:
        for name in ("ZP", "ZU"):
            for row in result["calibration"][name]:
                calibration.append([result["dataset"], name, row["bin"], row["lines"],
                                    "" if row["mean_value"] is None else row["mean_value"],
                                    "" if row["observed"] is None else row["observed"]])
    write_tsv(os.path.join(args.dir, "calibration.tsv"),
              ["dataset", "value", "bin", "lines", "mean_value", "observed_share_right"], calibration)

    groups = []
    for result in results:
        if result["group"] not in groups:
            groups.append(result["group"])
    for group in groups:
        members = [result for result in results if result["group"] == group]
        print("### %s\n\n%s\n" % (group, markdown_table(members)))
        calibrated = [r for r in members if r["calibration_mad"]["ZP"] is not None
                      or r["calibration_mad"]["ZU"] is not None]
        if calibrated:
            print("Calibration of %s: the share of lines at the true place (and the lines) per bin "
                  "of the value; difference: the mean absolute difference between the bin's mean "
                  "value and that share, weighted by the lines per bin.\n\n%s\n"
                  % (group, calibration_table(calibrated)))


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    commands = parser.add_subparsers(dest="command_name", required=True)
    one = commands.add_parser("score", help="figures of one data set")
    one.add_argument("--dataset", required=True)
    one.add_argument("--group", required=True)
    one.add_argument("--sam", required=True, help="the aligner's SAM file")
    one.add_argument("--truth", required=True)
    one.add_argument("--json", required=True, help="where the figures go")
    one.add_argument("--output", help="korvex's output")
    one.add_argument("--console", help="korvex's standard output (its summary)")
    one.add_argument("--errors", help="korvex's standard error")
    one.add_argument("--status", type=int, default=1, help="korvex's exit status")
    one.add_argument("--seconds", type=float)
    one.add_argument("--command", default="", help="the korvex command, as run")
    one.add_argument("--aligner", default="", help="the aligner command, as run")
    one.add_argument("--setting", action="append", default=[], help="KEY=VALUE given to korvex")
    one.add_argument("--tolerance", type=int, default=5)
    one.add_argument("--paired-sam", help="for the single-end treatment of mates: the paired "
                     "aligner's SAM file, whose primary lines are compared over the same mates")
    one.add_argument("--paired-truth", help="the truth of --paired-sam")
    many = commands.add_parser("report", help="TSV files and markdown tables")
    many.add_argument("dir")
    many.add_argument("json", nargs="+")
    args = parser.parse_args(argv)
    if args.command_name == "score":
        score(args)
    else:
        report(args)


if __name__ == "__main__":
    main()
