#!/usr/bin/env python3
"""Usage: scripts/measure-noise.py KORVEX SAM SCRATCH [ITERATIONS ...]

Measures the Monte Carlo noise of the posterior (ZP) on a SAM file, comparing the ZP of every
alignment of a multiread between two runs, matched by the alignment's SAM line, and printing the
largest and the mean absolute difference:
  1. the file as it is against a copy whose reads are shuffled as whole groups (fixed seed), at
     the default chain;
  2. for each ITERATIONS (default: 1000 10000), a chain of that length (burn-in a fifth of it)
     against a reference chain ten times longer than the longest, which stands for the exact
     posterior."""
import os
import random
import subprocess
import sys


def groups_of(path):
    header, groups = [], []
    with open(path) as sam:
        for line in sam:
            if line.startswith("@"):
                header.append(line)
            elif groups and groups[-1][0].split("\t", 1)[0] == line.split("\t", 1)[0]:
                groups[-1].append(line)
            else:
                groups.append([line])
    return header, groups


def run(korvex, sam, output, settings):  # settings after the fixed ones win over them
    subprocess.run([korvex, "-q", "MAP_FILENAME=" + sam, "STRANDNESS_OPTION=OFF", "PROB_OUTPUT=BOTH",
                    "OUTPUT_FORMAT=SAMPLUS", "MULTIQC=0", "OUTPUT_FILE=" + output, "LOG_FILENAME=" + output + ".log"]
                   + settings, check=True, stdout=subprocess.DEVNULL)


def posteriors(path):
    """ZP of every alignment of a multiread, by its SAM line."""
    values, by_read = {}, {}
    with open(path) as samplus:
        for line in samplus:
            if line.startswith("@"):
                continue
            fields = line.rstrip("\n").split("\t")  # ... ZU ZP and an empty field after the last tab
            if fields[-2] == "NA":
                continue
            key = "\t".join(fields[:-3])
            values[key] = float(fields[-2])
            by_read.setdefault(fields[0], []).append(key)
    return {key: values[key] for keys in by_read.values() if len(keys) > 1 for key in keys}


def main():
    if len(sys.argv) < 4:
        sys.exit(__doc__)
    korvex, sam, scratch = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2]), sys.argv[3]
    lengths = [int(n) for n in sys.argv[4:]] or [1000, 10000]
    os.makedirs(scratch, exist_ok=True)
    header, groups = groups_of(sam)
    random.Random(1).shuffle(groups)
    shuffled = os.path.join(scratch, "shuffled.sam")
    with open(shuffled, "w") as out:
        out.writelines(header)
        for group in groups:
            out.writelines(group)
    outputs = {}

    def output_of(name, path, iterations):
        output = os.path.join(scratch, name + ".sam+")
        run(korvex, path, output, ["TOTAL_ITERATIONS=%d" % iterations, "BURNIN_ITERATIONS=%d" % (iterations // 5)])
        outputs[name] = posteriors(output)
        return outputs[name]

    compare("another file order, 1000 iterations", output_of("original", sam, 1000),
            output_of("shuffled", shuffled, 1000))
    reference = output_of("reference", sam, 10 * max(lengths))
    for iterations in lengths:
        compare("%d iterations against %d" % (iterations, 10 * max(lengths)),
                output_of("chain%d" % iterations, sam, iterations), reference)


def compare(what, first, second):
    differences = [abs(first[key] - second[key]) for key in first if key in second]
    print("%s: %d alignments; largest ZP difference %.4f; mean %.4f"
          % (what, len(differences), max(differences), sum(differences) / len(differences)))


main()
