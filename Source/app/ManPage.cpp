// The manual page: fixed prose around the usage lines and the settings that --help shows.
#include "ManPage.h"

#include <cctype>
#include <cstddef>
#include <utility>
#include <vector>

#include "Settings.h"
#include "Version.h"

namespace {

const char* const DESCRIPTION[] = {
    "korvex reads the SAM file that a short-read aligner wrote, groups the alignments of each read "
    "(for paired-end reads, the pair alignments of its two mates), keeps the plausible ones and, for "
    "every read with two or more kept alignments (at most MAX_ALIGNMENTS), computes how probable each "
    "alignment is: a proportional estimate from the uniquely aligned reads nearby (the unique-read "
    "share) and a Bayesian posterior from an MCMC sampler that weighs each mismatch as a sequencing "
    "error or a true polymorphism.",
    "The input is SAM text (plain, or compressed with gzip or bgzip), BAM or CRAM, recognised by its "
    "content. It must hold the alignments of each read (of both mates of a pair read) on consecutive "
    "lines, as aligners write them, with MD:Z tags. The result is the SAMplus file, the input line for line with the "
    "probabilities appended as tab-separated fields, or SAM, BAM or CRAM whose records carry them in "
    "ZU:f and ZP:f tags. The same input gives the same bytes for every number of threads and parts.",
    "A divided run computes one data set as NPARTS separate runs, korvex CONFIG NPARTS PART for every "
    "PART from 1 to NPARTS, in any order or at the same time on different machines sharing the "
    "directory; korvex merge CONFIG NPARTS then writes the file that a single run would have written.",
};

const std::pair<const char*, const char*> OPTIONS[] = {
    {"-q", "Quiet: the console shows only warnings, errors, progress and the summary (QUIET=1)."},
    {"-h, --help", "Prints the usage and every setting with its default and range, and exits; after merge, "
                   "the usage of merge."},
    {"--version", "Prints the version and exits."},
    {"merge CONFIG NPARTS", "Checks the NPARTS parts of a divided run of CONFIG against their manifests and "
                            "the input, and combines them into the output of the whole run. The settings "
                            "must be those of the parts."},
};

const std::pair<const char*, const char*> FILES[] = {
    {"OUTPUT_FILE",
     "The output. By default it is written beside the input: the SAMplus file reads.sam+ for SAM text "
     "input (reads.sam.gz gives reads.sam+ too), and reads.korvex.bam for BAM and CRAM input or, with "
     "OUTPUT_FORMAT, reads.korvex.sam, reads.korvex.bam or reads.korvex.cram. It is written under a "
     "temporary name NAME.tmpXXXXXX beside it and renamed into place only when it is complete, so a "
     "failed run leaves an earlier file as it was."},
    {"LOG_FILENAME",
     "The log: every message with a time stamp, every setting in force and where it came from, and "
     "the summary. A part's log is run.part2of3.log for LOG_FILENAME=run.log, a merge's run.merge.log."},
    {"reads.part2of3.sam+, reads.part2of3.sam+.manifest",
     "What part 2 of a divided run into 3 writes: its output, holding values only for its own "
     "alignments, and the manifest that korvex merge checks it by. With PART_OUTPUT=VALUES the part "
     "writes reads.part2of3.sam+.values, its values alone, instead of the output."},
    {"reads.sam+.stats.json",
     "The stats file beside the file a run writes (a part's reads.part2of3.sam+.stats.json; a merge's "
     "beside the merged output): one JSON object of the run's figures (lines read, rejected and dropped "
     "by reason, unique reads, multireads scored by number of alignments, ten bins of the top value per "
     "multiread and the share of those at least 0.9), its wall time, processor time and peak memory, "
     "the settings in force and the version. README.md lists its keys."},
    {"reads.korvex_general_mqc.json, reads.korvex_fates_mqc.json, reads.korvex_top_value_mqc.json",
     "The MultiQC sections of a run that is not divided, or of a merge, unless MULTIQC=0: files that "
     "multiqc shows without a plugin. The sample, which begins their names, is the output's file name "
     "without its directory and extensions."},
    {"korvex-run-XXXXXX/",
     "The private directory of a run, under TMPDIR when it is set, else beside the output, with one "
     "call_record file per container. It is removed at the end of a successful run and when a "
     "stopping signal ends the run; after a failure it is kept and the log names it."},
};

const std::pair<const char*, const char*> ENVIRONMENT[] = {
    {"OMP_NUM_THREADS", "Caps the threads of a run, besides NUM_THREADS; by default the processors the "
                        "process may run on."},
    {"TMPDIR", "Where the run directory and the copy of standard input (MAP_FILENAME=-) are made."},
};

const std::pair<const char*, const char*> EXIT_STATUSES[] = {
    {"0", "A normal run, --help and --version; also a run whose SAM file holds no usable line (the log "
          "and standard error say why, and no output is written)."},
    {"1", "An argument missing or not understood, a configuration file that cannot be opened, an "
          "invalid setting, a file the run would write that it also reads, an input that is refused, "
          "cannot be read or changes while it is read, an output or log that cannot be written "
          "completely, or any other error. The last line on standard error says why."},
    {"128+N", "Stopped by SIGHUP, SIGINT or SIGTERM (signal N, as a shell reports it): the run removes "
              "its temporary files and outputs not yet in place, and ends by the signal."},
};

const char* const EXAMPLE_RUN =
    "cp -r PREFIX/share/doc/korvex/examples korvex-example\n"
    "cd korvex-example\n"
    "korvex example.cfg            # writes example.sam+ and example.log\n"
    "korvex example.cfg TOTAL_ITERATIONS=2000 NUM_THREADS=2\n";

const char* const EXAMPLE_DIVIDED_RUN =
    "for part in 1 2 3; do korvex -q example.cfg 3 $part; done\n"
    "korvex merge example.cfg 3    # writes example.sam+\n";

const char* const EXAMPLE_WITHOUT_FILE = "korvex MAP_FILENAME=reads.bam STRANDNESS_OPTION=OFF OUTPUT_FORMAT=BAM\n";

std::string Bold(const std::string& sText) { return "\\fB" + RoffEscape(sText) + "\\fR"; }

std::string Section(const char* pName) { return std::string(".SH ") + pName + "\n"; }

std::string Paragraph(std::string sText) {
    while (!sText.empty() && sText.back() == '\n') sText.pop_back();  // an empty line would add space
    return ".PP\n" + RoffEscape(sText) + "\n";
}

// An indented list entry: the tag on its own line, then the text.
std::string Entry(const std::string& sTagRoff, const std::string& sTextRoff) {
    return ".TP\n" + sTagRoff + "\n" + sTextRoff + "\n";
}

// Entries of plain text, each tag in bold.
template <std::size_t N>
std::string Entries(const std::pair<const char*, const char*> (&aEntries)[N]) {
    std::string sText;
    for (const auto& [pTag, pText] : aEntries) sText += Entry(Bold(pTag), RoffEscape(pText));
    return sText;
}

// Lines shown as they are, indented, in a fixed-width font.
std::string Display(const std::string& sLines) { return ".PP\n.RS 4\n.nf\n" + RoffEscape(sLines) + ".fi\n.RE\n"; }

std::string Sentence(std::string sText) {
    if (!sText.empty()) sText[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(sText[0])));
    return sText + ".";
}

std::string Synopsis(const std::vector<std::string>& vUsageLines) {
    std::string sText = ".nf\n";
    for (const std::string& sLine : vUsageLines) {
        const std::size_t iSpace = sLine.find(' ');
        sText += Bold(sLine.substr(0, iSpace)) + (iSpace == std::string::npos ? "" : RoffEscape(sLine.substr(iSpace))) + "\n";
    }
    return sText + ".fi\n";
}

std::string SettingEntries(const std::vector<SettingHelp>& vSettings) {
    std::string sText = Paragraph(
        "Every setting is a KEY=VALUE line of the configuration file or a KEY=VALUE argument. Every value "
        "is checked before any work: a value that is not a number of its type or lies outside its range "
        "is refused naming the key, and the run ends with status 1. An unknown key is refused on the command "
        "line and a warning in the configuration file, both naming the nearest known key.");
    for (const SettingHelp& setting : vSettings)
        sText += Entry(Bold(setting.sName), RoffEscape(Sentence(setting.sMeaning)) + "\n.br\n" +
                                                RoffEscape("Default: " + setting.sDefault + ". Allowed: " +
                                                           setting.sAllowed + "."));
    return sText;
}

}  // namespace

std::string RoffEscape(const std::string& sText) {
    std::string sEscaped;
    bool bLineStart = true;
    for (const char c : sText) {
        if (bLineStart && (c == '.' || c == '\'')) sEscaped += "\\&";
        if (c == '\\')
            sEscaped += "\\e";
        else if (c == '-')
            sEscaped += "\\-";
        else
            sEscaped += c;
        bLineStart = c == '\n';
    }
    return sEscaped;
}

std::string ManPageText() {
    const HelpContents help = HelpContentsOfSettings();
    std::string sPage = ".\\\" Generated from korvex's settings table by korvex_manpage; do not edit.\n";
    sPage += ".TH KORVEX 1 \"\" \"korvex " + std::string(PROGRAM_VERSION) + "\" \"User Commands\"\n";
    sPage += ".nh\n.ad l\n";  // file names and keys neither hyphenated nor spread apart
    sPage += Section("NAME") + "korvex \\- " + PROGRAM_PURPOSE + "\n";
    sPage += Section("SYNOPSIS") + Synopsis(help.vUsageLines);
    sPage += Section("DESCRIPTION");
    for (const char* pParagraph : DESCRIPTION) sPage += Paragraph(pParagraph);
    sPage += Paragraph(help.sExplanation);
    sPage += Section("OPTIONS") + Entries(OPTIONS);
    for (const OptionHelp& option : help.vOptions)
        sPage += Entry(Bold(option.sForms), RoffEscape(Sentence(option.sMeaning)));
    sPage += Section("SETTINGS") + SettingEntries(help.vSettings);
    sPage += Section("FILES") + Entries(FILES);
    sPage += Section("ENVIRONMENT") + Entries(ENVIRONMENT);
    sPage += Section("EXIT STATUS") + Entries(EXIT_STATUSES);
    sPage += Section("EXAMPLES") +
             Paragraph("The bundled example, copied from the documentation directory of the installation "
                       "(PREFIX is /usr for the Debian package, /usr/local by default), at its settings "
                       "and with two settings changed:") +
             Display(EXAMPLE_RUN) +
             Paragraph("The same as a run divided into 3 parts and their merge; the parts may run at the "
                       "same time on different machines, and the merged file is byte for byte the single "
                       "run's:") +
             Display(EXAMPLE_DIVIDED_RUN) + Paragraph("A run without a configuration file:") +
             Display(EXAMPLE_WITHOUT_FILE);
    sPage += Section("SEE ALSO") +
             Paragraph("README.md in PREFIX/share/doc/korvex, the full manual; the Snakemake workflow and "
                       "the SLURM scripts for divided runs in PREFIX/share/korvex/workflow.");
    return sPage;
}
