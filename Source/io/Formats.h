#ifndef KORVEX_FORMATS_H
#define KORVEX_FORMATS_H

// The containers an input file can come in, recognised by content.
enum class InputFormat { Sam, CompressedSam, Bam, Cram };

// What a run writes: the SAM text with probability fields appended (SAMplus), or the
// records with probability tags in SAM, BAM or CRAM.
enum class OutputFormat { Samplus, Sam, Bam, Cram };

// Which probabilities a run computes and writes, from PROB_OUTPUT: both (unique-read share,
// then posterior), the posterior alone, or the unique-read share alone.
enum class ProbMode { Both, Bayes, Proportional };

// Number of values per line: 2 for ProbMode::Both, else 1.
inline int ValueColumns(ProbMode mode) { return mode == ProbMode::Both ? 2 : 1; }

#endif
