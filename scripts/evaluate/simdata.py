#!/usr/bin/env python3
"""Simulated data with known origins, for measuring korvex.

  simdata.py genome --outdir DIR [--seed N] [genome options]
      A reference genome of random sequence with repeat families planted in it, and a
      donor genome: the reference with SNPs (substitutions only, so donor and reference
      share one coordinate system). Writes DIR/reference.fa, DIR/donor.fa,
      DIR/repeats.tsv (one line per repeat copy, 1-based inclusive), DIR/snps.tsv and
      DIR/genome.json.

  simdata.py reads --art-sam ART.sam --fastq ART.fq [--fastq2 ART2.fq] --out PREFIX
                   [--seed N] [--trim MIN-MAX]
      Turns the read simulator's output into shuffled, renamed reads and their truth.
      Single-end: PREFIX.fq and PREFIX.truth.tsv. With --fastq2 (pairs): PREFIX_1.fq
      and PREFIX_2.fq (mates of one pair share a name), PREFIX.truth.tsv keyed
      NAME/1 and NAME/2, and for the single-end treatment of the same mates
      PREFIX.se.fq (NAME_1, NAME_2 interleaved) with PREFIX.se.truth.tsv.
      --trim MIN-MAX cuts every read to a random length from MIN to MAX, keeping its
      5' end, as adapter trimming of small RNA reads does.

The truth table holds read_id, chrom, pos (1-based leftmost reference base of the read
as sequenced, after trimming), strand (+ when the read is the reference's forward
strand), length and the simulator's name. Every output depends only on the arguments:
one seeded generator, byte-identical files on every run.
"""
import argparse
import bisect
import json
import os
import random
import re
import sys

COMPLEMENT = str.maketrans("ACGT", "TGCA")
TRANSITION = {"A": "G", "G": "A", "C": "T", "T": "C"}
CIGAR_OP = re.compile(r"(\d+)([MIDNSHP=X])")


# ---------------------------------------------------------------- genome

def revcomp(seq):
    return seq.translate(COMPLEMENT)[::-1]


def parse_chroms(text):
    """'chr1:150000,chr2:100000' -> [('chr1', 150000), ('chr2', 100000)]."""
    chroms = []
    for item in text.split(","):
        name, _, size = item.partition(":")
        if not name.strip() or not size:
            raise ValueError("bad chromosome %r (want NAME:SIZE)" % item)
        chroms.append((name.strip(), int(float(size))))
    return chroms


def parse_weights(text):
    """'2:30,3:20' -> ([2, 3], [30.0, 20.0])."""
    values, weights = [], []
    for item in text.split(","):
        count, _, weight = item.partition(":")
        values.append(int(count))
        weights.append(float(weight) if weight else 1.0)
    return values, weights


def random_seq(rng, length, gc):
    at, cg = (1.0 - gc) / 2.0, gc / 2.0
    return "".join(rng.choices("ACGT", weights=(at, cg, cg, at), k=length))


def substitute(rng, base, transition_share):
    if rng.random() < transition_share:
        return TRANSITION[base]
    return rng.choice([b for b in "ACGT" if b != base and b != TRANSITION[base]])


def mutate(rng, seq, rate, transition_share):
    """Each base substituted with probability `rate`; returns (sequence, substitutions)."""
    if rate <= 0:
        return seq, 0
    bases = list(seq)
    count = 0
    for i, base in enumerate(bases):
        if rng.random() < rate:
            bases[i] = substitute(rng, base, transition_share)
            count += 1
    return "".join(bases), count


class Occupancy:
    """Non-overlapping intervals per chromosome, kept `gap` bases apart."""

    def __init__(self, gap):
        self.gap = gap
        self.starts = {}
        self.ends = {}

    def free(self, chrom, start, end):
        starts = self.starts.setdefault(chrom, [])
        ends = self.ends.setdefault(chrom, [])
        i = bisect.bisect_left(starts, start)
        if i < len(starts) and starts[i] < end + self.gap:
            return False
        return not (i > 0 and ends[i - 1] + self.gap > start)

    def add(self, chrom, start, end):
        i = bisect.bisect_left(self.starts[chrom], start)
        self.starts[chrom].insert(i, start)
        self.ends[chrom].insert(i, end)


def place_copy(rng, chroms, total, occupancy, length, gap):
    """A free (chrom, start) for a copy of `length` bases, or None after 1000 tries."""
    for _ in range(1000):
        r = rng.randrange(total)  # a chromosome in proportion to its length
        for name, size in chroms:
            if r < size:
                break
            r -= size
        if size < length + 2 * gap:
            continue
        start = rng.randrange(gap, size - length - gap)
        if occupancy.free(name, start, start + length):
            return name, start
    return None


def plant_repeats(rng, chroms, seqs, args):
    """Plants the repeat families into `seqs` (name -> list of bases); returns the copies."""
    copy_values, copy_weights = parse_weights(args.copy_weights)
    total = sum(size for _, size in chroms)
    occupancy = Occupancy(args.min_gap)
    records = []
    for family in range(1, args.families + 1):
        # Log-uniform length: many short families, a few long ones.
        length = int(round(args.repeat_min_len *
                           (args.repeat_max_len / args.repeat_min_len) ** rng.random()))
        copies = rng.choices(copy_values, weights=copy_weights, k=1)[0]
        identical = rng.random() < args.identical_share
        divergence = 0.0 if identical else rng.uniform(0.0, args.max_divergence)
        consensus = random_seq(rng, length, args.gc)
        for copy in range(1, copies + 1):
            place = place_copy(rng, chroms, total, occupancy, length, args.min_gap)
            if place is None:
                print("simdata: family fam%03d: no room for copy %d" % (family, copy),
                      file=sys.stderr)
                continue
            name, start = place
            occupancy.add(name, start, start + length)
            # Each copy drifts from the consensus at half the family's divergence, so
            # two copies differ at about `divergence` of their positions.
            seq, subs = mutate(rng, consensus, divergence / 2.0, args.transition_share)
            strand = "-" if rng.random() < 0.5 else "+"
            if strand == "-":
                seq = revcomp(seq)
            seqs[name][start:start + length] = list(seq)
            records.append({"family": "fam%03d" % family, "copy": copy, "chrom": name,
                            "start": start + 1, "end": start + length, "strand": strand,
                            "length": length, "family_divergence": round(divergence, 5),
                            "subs_from_consensus": subs})
    return records


def make_snps(rng, chroms, seqs, rate, transition_share):
    """round(rate * size) distinct SNP positions per chromosome; returns (snps, donor)."""
    snps, donor = [], {}
    for name, size in chroms:
        alt = list(seqs[name])
        for pos in sorted(rng.sample(range(size), int(round(rate * size)))):
            alt[pos] = substitute(rng, seqs[name][pos], transition_share)
            snps.append((name, pos + 1, seqs[name][pos], alt[pos]))
        donor[name] = alt
    return snps, donor


def write_fasta(path, chroms, seqs, width=60):
    with open(path, "w") as out:
        for name, _ in chroms:
            text = "".join(seqs[name])
            out.write(">%s\n" % name)
            for i in range(0, len(text), width):
                out.write(text[i:i + width] + "\n")


def make_genome(args):
    chroms = parse_chroms(args.chroms)
    rng = random.Random(args.seed)
    seqs = {name: list(random_seq(rng, size, args.gc)) for name, size in chroms}
    records = plant_repeats(rng, chroms, seqs, args)
    snps, donor = make_snps(rng, chroms, seqs, args.snp_rate, args.transition_share)

    os.makedirs(args.outdir, exist_ok=True)
    write_fasta(os.path.join(args.outdir, "reference.fa"), chroms, seqs)
    write_fasta(os.path.join(args.outdir, "donor.fa"), chroms, donor)
    columns = ["family", "copy", "chrom", "start", "end", "strand", "length",
               "family_divergence", "subs_from_consensus"]
    with open(os.path.join(args.outdir, "repeats.tsv"), "w") as out:
        out.write("\t".join(columns) + "\n")
        for r in sorted(records, key=lambda r: (r["family"], r["copy"])):
            out.write("\t".join(str(r[c]) for c in columns) + "\n")
    with open(os.path.join(args.outdir, "snps.tsv"), "w") as out:
        out.write("chrom\tpos\tref\talt\n")
        for snp in snps:
            out.write("%s\t%d\t%s\t%s\n" % snp)

    families = {}
    for r in records:
        families.setdefault(r["family"], []).append(r)
    total = sum(size for _, size in chroms)
    repeat_bases = sum(r["length"] for r in records)
    summary = {
        "seed": args.seed,
        "chromosomes": [{"name": n, "length": s} for n, s in chroms],
        "genome_length": total,
        "families": len(families),
        "repeat_copies": len(records),
        "copies_per_family": {str(k): sum(1 for v in families.values() if len(v) == k)
                              for k in sorted({len(v) for v in families.values()})},
        "identical_families": sum(1 for v in families.values()
                                  if v[0]["family_divergence"] == 0),
        "repeat_fraction": round(repeat_bases / total, 4),
        "snps": len(snps),
        "parameters": {k: v for k, v in sorted(vars(args).items())
                       if k not in ("outdir", "command")},
    }
    with open(os.path.join(args.outdir, "genome.json"), "w") as out:
        json.dump(summary, out, indent=2)
        out.write("\n")
    print("simdata: %d bp in %d chromosomes, %d families, %d copies (%d identical families), "
          "%.1f%% repeats, %d SNPs" % (total, len(chroms), summary["families"],
                                       summary["repeat_copies"], summary["identical_families"],
                                       100 * summary["repeat_fraction"], len(snps)))


# ---------------------------------------------------------------- reads

def read_fastq(path):
    """Yields (name without /1 or /2, sequence, quality)."""
    with open(path) as f:
        while True:
            head = f.readline()
            if not head:
                return
            seq = f.readline().rstrip("\n")
            f.readline()
            qual = f.readline().rstrip("\n")
            name = head[1:].split()[0]
            if name.endswith("/1") or name.endswith("/2"):
                name = name[:-2]
            yield name, seq, qual


def read_art_sam(path):
    """{(name, mate): (chrom, pos, strand, cigar, seq_length)}; mate 0, 1 or 2."""
    truth = {}
    with open(path) as f:
        for line in f:
            if line.startswith("@"):
                continue
            fields = line.rstrip("\n").split("\t")
            flag = int(fields[1])
            mate = 1 if flag & 0x40 else 2 if flag & 0x80 else 0
            truth[(fields[0], mate)] = (fields[2], int(fields[3]), "-" if flag & 16 else "+",
                                        fields[5], len(fields[9]))
    return truth


def reference_position_of(cigar, pos, query_index):
    """Reference position of the read base at `query_index` (0-based, SAM orientation);
    a base inside an insertion takes the next reference base."""
    q, r = 0, pos
    for count, op in CIGAR_OP.findall(cigar):
        count = int(count)
        if op in "M=X":
            if query_index < q + count:
                return r + (query_index - q)
            q += count
            r += count
        elif op in "IS":
            if query_index < q + count:
                return r
            q += count
        elif op in "DN":
            r += count
    return r


def trimmed_origin(origin, keep):
    """(chrom, pos, strand) of a read cut to its first `keep` bases (its 5' end).

    On the forward strand the read's 5' end is its leftmost base, so pos stays. On the
    reverse strand the sequenced read is SEQ reverse-complemented: its first `keep` bases
    are SEQ's last `keep`, whose leftmost base is SEQ index length - keep.
    """
    chrom, pos, strand, cigar, length = origin
    if strand == "+" or keep >= length:
        return chrom, pos, strand
    return chrom, reference_position_of(cigar, pos, length - keep), strand


def write_truth(path, rows):
    with open(path, "w") as out:
        out.write("read_id\tchrom\tpos\tstrand\tlength\tsim_name\n")
        for row in rows:
            out.write("%s\t%s\t%d\t%s\t%d\t%s\n" % row)


def write_fastq(out, name, seq, qual):
    out.write("@%s\n%s\n+\n%s\n" % (name, seq, qual))


def parse_range(text):
    low, _, high = text.partition("-")
    low, high = int(low), int(high or low)
    if not 0 < low <= high:
        raise argparse.ArgumentTypeError("want MIN-MAX with 0 < MIN <= MAX, not %r" % text)
    return low, high


def origin_of(truth, name, mate):
    if (name, mate) not in truth:
        sys.exit("simdata: read %s has no record in the simulator's SAM file" % name)
    return truth[(name, mate)]


def make_single_reads(args, truth):
    reads = list(read_fastq(args.fastq))
    rng = random.Random(args.seed)
    rng.shuffle(reads)
    width = max(8, len(str(len(reads))))
    rows = []
    with open(args.out + ".fq", "w") as fq:
        for i, (sim_name, seq, qual) in enumerate(reads, 1):
            origin = origin_of(truth, sim_name, 0)
            keep = rng.randint(*args.trim) if args.trim else len(seq)
            seq, qual = seq[:keep], qual[:keep]
            read_id = "r%0*d" % (width, i)
            write_fastq(fq, read_id, seq, qual)
            rows.append((read_id,) + trimmed_origin(origin, keep) + (len(seq), sim_name))
    write_truth(args.out + ".truth.tsv", rows)
    print("simdata: %d reads in %s.fq" % (len(reads), args.out))


def make_pairs(args, truth):
    pairs = list(zip(read_fastq(args.fastq), read_fastq(args.fastq2)))
    for first, second in pairs:
        if first[0] != second[0]:
            sys.exit("simdata: the mate files disagree: %s beside %s" % (first[0], second[0]))
    random.Random(args.seed).shuffle(pairs)
    width = max(8, len(str(len(pairs))))
    pair_rows, single_rows = [], []
    with open(args.out + "_1.fq", "w") as fq1, open(args.out + "_2.fq", "w") as fq2, \
            open(args.out + ".se.fq", "w") as single:
        for i, mates in enumerate(pairs, 1):
            read_id = "r%0*d" % (width, i)
            for mate, (sim_name, seq, qual), out in zip((1, 2), mates, (fq1, fq2)):
                chrom, pos, strand = origin_of(truth, sim_name, mate)[:3]
                write_fastq(out, read_id, seq, qual)
                write_fastq(single, "%s_%d" % (read_id, mate), seq, qual)
                pair_rows.append(("%s/%d" % (read_id, mate), chrom, pos, strand, len(seq), sim_name))
                single_rows.append(("%s_%d" % (read_id, mate), chrom, pos, strand, len(seq), sim_name))
    write_truth(args.out + ".truth.tsv", pair_rows)
    write_truth(args.out + ".se.truth.tsv", single_rows)
    print("simdata: %d pairs in %s_1.fq and %s_2.fq" % (len(pairs), args.out, args.out))


def make_reads(args):
    truth = read_art_sam(args.art_sam)
    if args.fastq2:
        make_pairs(args, truth)
    else:
        make_single_reads(args, truth)


# ---------------------------------------------------------------- command line

def parse_args(argv):
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    commands = parser.add_subparsers(dest="command", required=True)

    genome = commands.add_parser("genome", help="reference and donor genomes")
    genome.add_argument("--outdir", required=True)
    genome.add_argument("--seed", type=int, default=1)
    genome.add_argument("--chroms", default="chr1:150000,chr2:100000,chr3:50000",
                        help="NAME:SIZE,...")
    genome.add_argument("--gc", type=float, default=0.41, help="GC content of random sequence")
    genome.add_argument("--families", type=int, default=15, help="repeat families")
    genome.add_argument("--repeat-min-len", type=int, default=100)
    genome.add_argument("--repeat-max-len", type=int, default=2000)
    genome.add_argument("--copy-weights", default="2:30,3:20,4:15,5:15,6:8,7:6,8:6",
                        help="copies per family as COPIES:WEIGHT,...")
    genome.add_argument("--max-divergence", type=float, default=0.03,
                        help="largest divergence between two copies of a family")
    genome.add_argument("--identical-share", type=float, default=0.15,
                        help="share of families whose copies are identical")
    genome.add_argument("--min-gap", type=int, default=300,
                        help="least unique sequence between two repeat copies")
    genome.add_argument("--snp-rate", type=float, default=0.005, help="donor SNPs per base")
    genome.add_argument("--transition-share", type=float, default=2.0 / 3.0)

    reads = commands.add_parser("reads", help="reads and truth from the simulator's output")
    reads.add_argument("--art-sam", required=True, help="the simulator's SAM file of true origins")
    reads.add_argument("--fastq", required=True, help="reads (mate 1 of pairs)")
    reads.add_argument("--fastq2", help="mate 2 of pairs")
    reads.add_argument("--out", required=True, help="output prefix")
    reads.add_argument("--seed", type=int, default=1)
    reads.add_argument("--trim", type=parse_range, help="MIN-MAX: cut reads to a random length")

    args = parser.parse_args(argv)
    if args.command == "genome" and not 0 < args.repeat_min_len <= args.repeat_max_len:
        parser.error("need 0 < --repeat-min-len <= --repeat-max-len")
    if args.command == "reads" and args.trim and args.fastq2:
        parser.error("--trim is for single-end reads")
    return args


def main(argv=None):
    args = parse_args(argv)
    if args.command == "genome":
        make_genome(args)
    else:
        make_reads(args)


if __name__ == "__main__":
    main()
