#include "RunFigures.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <stdexcept>

#include "KeepRules.h"
#include "MapFileReader.h"
#include "MultiReadCollectionMgr.h"

namespace {

// The stable keys of the reasons, in the order of their enumerations.
const char* const REJECT_KEYS[] = {
    "too_few_fields", "nul_byte", "bad_flag", "unmapped", "supplementary", "bad_position",
    "malformed_cigar", "insertion_or_deletion", "spliced", "padded", "no_sequence", "read_too_long",
    "other_length", "other_quality_length", "not_acgt", "cigar_other_length", "no_md_tag", "unreadable_md_tag"};
static_assert(sizeof(REJECT_KEYS) / sizeof(REJECT_KEYS[0]) == REJECT_REASON_COUNT, "a key for every reject reason");

const char* const DROP_KEYS[] = {"reads_best_above_max_mismatches", "reads_above_max_alignments",
                                 "lines_above_best_plus_extra", "lines_mate_in_no_pair"};
static_assert(sizeof(DROP_KEYS) / sizeof(DROP_KEYS[0]) == DROP_REASON_COUNT, "a key for every drop reason");

// The lower edges of bins 1 to 9, as literals: a top value of at least 0.9 falls in the last bin
// exactly when it compares so, whatever the rounding of a product would give.
const double BIN_EDGES[TOP_VALUE_BINS - 1] = {0.1, 0.2, 0.3, 0.4, 0.5, 0.6, 0.7, 0.8, 0.9};

int TopValueBin(double dTop) {
    int iBin = 0;
    for (double dEdge : BIN_EDGES) iBin += dTop >= dEdge;
    return iBin;
}

const std::string PREFIX = "figure_";

int64_t ParseCount(const std::string& sText, const std::string& sKey, const std::string& sManifestName) {
    char* pEnd = nullptr;
    errno = 0;
    const long long iValue = std::strtoll(sText.c_str(), &pEnd, 10);
    if (sText.empty() || *pEnd != '\0' || errno != 0 || iValue < 0)
        throw std::runtime_error("the manifest (" + sManifestName + "): " + sKey + " is not a count");
    return iValue;
}

// Reads the "figure_" entries of one manifest, naming it in every error.
class FigureEntries {
public:
    FigureEntries(const Manifest& read, const std::string& sName) : manifest(read), sManifestName(sName) {}
    bool Has(const std::string& sName) const { return manifest.Find(PREFIX + sName) != nullptr; }
    const std::string& Text(const std::string& sName) const {
        const std::string* pText = manifest.Find(PREFIX + sName);
        if (pText == nullptr)
            throw std::runtime_error("the manifest (" + sManifestName + "): " + PREFIX + sName + " is missing");
        return *pText;
    }
    int64_t Count(const std::string& sName) const { return ParseCount(Text(sName), PREFIX + sName, sManifestName); }
    // The counts of the keys sStart + k for k = 2, 3, ... as long as the manifest has them; 0 and 1 stay 0.
    std::vector<int64_t> CountsFromTwo(const std::string& sStart) const {
        std::vector<int64_t> vCounts(2, 0);
        for (std::string sKey; Has(sKey = sStart + std::to_string(vCounts.size()));) vCounts.push_back(Count(sKey));
        return vCounts;
    }

private:
    const Manifest& manifest;
    const std::string& sManifestName;
};

void AddAt(std::vector<int64_t>& vSums, std::size_t i, int64_t iCount) {
    if (vSums.size() <= i) vSums.resize(i + 1, 0);
    vSums[i] += iCount;
}

void AddFrom(std::vector<int64_t>& vSums, const std::vector<int64_t>& vCounts) {
    for (std::size_t k = 0; k < vCounts.size(); ++k) AddAt(vSums, k, vCounts[k]);
}

void SetFromTwo(Manifest& manifest, const std::string& sStart, const std::vector<int64_t>& vCounts) {
    for (std::size_t k = 2; k < vCounts.size(); ++k) manifest.Set(PREFIX + sStart + std::to_string(k), vCounts[k]);
}

// A reason of a summary's list by its text; nullptr when the run met none.
template <class Reason>
const Reason* Described(const std::vector<Reason>& vReasons, const char* pText) {
    for (const Reason& reason : vReasons)
        if (reason.sReason == pText) return &reason;
    return nullptr;
}

// Whether two parts report the same figures of the input, which Step 1 of every part counts alike.
bool SameStep1(const RunSummary& a, const RunSummary& b) {
    return a.iLinesRead == b.iLinesRead && a.iAlignmentLines == b.iAlignmentLines && a.vRejected == b.vRejected &&
           a.vDropped == b.vDropped && a.iReadsWithSeveralAlignments == b.iReadsWithSeveralAlignments &&
           a.iUniqueReads == b.iUniqueReads && a.iUniquePairs == b.iUniquePairs &&
           a.iPairMultireads == b.iPairMultireads && a.figures.vRejected == b.figures.vRejected &&
           a.figures.vDropped == b.figures.vDropped && a.figures.sTopValueOf == b.figures.sTopValueOf;
}

}  // namespace

void CollectRunFigures(const MultiReadCollectionMgr& collections, ProbMode mode, RunSummary& summary) {
    RunFigures& figures = summary.figures;
    figures = RunFigures();
    for (int i = 0; i < REJECT_REASON_COUNT; ++i)
        figures.vRejected.emplace_back(REJECT_KEYS[i], collections.Rejections().aiCount[i]);
    for (int i = 0; i < DROP_REASON_COUNT; ++i)
        figures.vDropped.emplace_back(DROP_KEYS[i], collections.Drops().aiCount[i]);
    figures.sTopValueOf = mode == ProbMode::Proportional ? "unique_share" : "posterior";
    const int iColumn = mode == ProbMode::Both ? 1 : 0;  // the posterior's column when there are two
    figures.vMultireadsWritten.assign(collections.LargestAlignmentCount() + 1, 0);
    figures.vTopValueBins.assign(TOP_VALUE_BINS, 0);
    for (int k = 2; k <= collections.LargestAlignmentCount(); ++k)
        for (const MultiRead& multiRead : collections.Container(k)) {
            double dTop = std::nan("");
            for (int j = 0; j < k; ++j) {
                const double dValue = multiRead.Reads(j).probability[iColumn];
                if (!std::isnan(dValue) && !(dValue <= dTop)) dTop = dValue;
            }
            if (std::isnan(dTop)) continue;  // a multiread of another part
            ++figures.vMultireadsWritten[k];
            ++figures.vTopValueBins[TopValueBin(dTop)];
        }
    figures.bComplete = true;
}

int64_t MultireadsWritten(const RunFigures& figures) {
    int64_t iTotal = 0;
    for (int64_t iCount : figures.vMultireadsWritten) iTotal += iCount;
    return iTotal;
}

int64_t MultireadsResolved(const RunFigures& figures) {
    return figures.vTopValueBins.size() == TOP_VALUE_BINS ? figures.vTopValueBins.back() : 0;
}

void AddFiguresToManifest(const RunSummary& summary, Manifest& manifest) {
    const RunFigures& figures = summary.figures;
    manifest.Set(PREFIX + "lines_read", summary.iLinesRead);
    manifest.Set(PREFIX + "alignment_lines", summary.iAlignmentLines);
    manifest.Set(PREFIX + "reads_with_several_alignments", summary.iReadsWithSeveralAlignments);
    manifest.Set(PREFIX + "unique_reads", summary.iUniqueReads);
    manifest.Set(PREFIX + "unique_pairs", summary.iUniquePairs);
    manifest.Set(PREFIX + "pair_multireads", summary.iPairMultireads);
    for (const auto& [sKey, iCount] : figures.vRejected) manifest.Set(PREFIX + "rejected_" + sKey, iCount);
    for (int i = 0; i < REJECT_REASON_COUNT; ++i) {
        const auto pRejected = Described(summary.vRejected, DescribeRejectReason(static_cast<RejectReason>(i)));
        manifest.Set(PREFIX + "first_line_rejected_" + REJECT_KEYS[i], pRejected ? pRejected->iFirstLine : 0);
    }
    for (const auto& [sKey, iCount] : figures.vDropped) manifest.Set(PREFIX + "dropped_" + sKey, iCount);
    for (int i = 0; i < DROP_REASON_COUNT; ++i) {
        const auto pDropped = Described(summary.vDropped, DescribeDropReason(static_cast<DropReason>(i)));
        manifest.Set(PREFIX + "first_line_dropped_" + DROP_KEYS[i], pDropped ? pDropped->iFirstLine : 0);
        manifest.Set(PREFIX + "lines_dropped_" + DROP_KEYS[i], pDropped ? pDropped->iLines : 0);
    }
    SetFromTwo(manifest, "multireads_scored_", summary.vMultireadsScored);
    SetFromTwo(manifest, "multireads_", figures.vMultireadsWritten);
    for (std::size_t i = 0; i < figures.vTopValueBins.size(); ++i)
        manifest.Set(PREFIX + "top_value_bin_" + std::to_string(i), figures.vTopValueBins[i]);
    manifest.Set(PREFIX + "top_value_of", figures.sTopValueOf);
}

std::optional<RunSummary> FiguresFromManifest(const Manifest& manifest, const std::string& sManifestName) {
    const FigureEntries entries(manifest, sManifestName);
    if (!entries.Has("lines_read")) return std::nullopt;
    RunSummary summary;
    RunFigures& figures = summary.figures;
    summary.iLinesRead = entries.Count("lines_read");
    summary.iAlignmentLines = entries.Count("alignment_lines");
    summary.iReadsWithSeveralAlignments = entries.Count("reads_with_several_alignments");
    summary.iUniqueReads = entries.Count("unique_reads");
    summary.iUniquePairs = entries.Count("unique_pairs");
    summary.iPairMultireads = entries.Count("pair_multireads");
    for (int i = 0; i < REJECT_REASON_COUNT; ++i) {
        const int64_t iCount = entries.Count(std::string("rejected_") + REJECT_KEYS[i]);
        figures.vRejected.emplace_back(REJECT_KEYS[i], iCount);
        const int64_t iFirstLine = entries.Count(std::string("first_line_rejected_") + REJECT_KEYS[i]);
        if (iCount != 0)
            summary.vRejected.push_back({DescribeRejectReason(static_cast<RejectReason>(i)), iCount, iFirstLine});
    }
    for (int i = 0; i < DROP_REASON_COUNT; ++i) {
        const auto reason = static_cast<DropReason>(i);
        const int64_t iCount = entries.Count(std::string("dropped_") + DROP_KEYS[i]);
        figures.vDropped.emplace_back(DROP_KEYS[i], iCount);
        const int64_t iFirstLine = entries.Count(std::string("first_line_dropped_") + DROP_KEYS[i]);
        const int64_t iLines = entries.Count(std::string("lines_dropped_") + DROP_KEYS[i]);
        if (iCount != 0)
            summary.vDropped.push_back(
                {DescribeDropReason(reason), iCount, iFirstLine, iLines, DropCountsReads(reason)});
    }
    summary.vMultireadsScored = entries.CountsFromTwo("multireads_scored_");
    figures.vMultireadsWritten = entries.CountsFromTwo("multireads_");
    int64_t iBinned = 0;
    for (int i = 0; i < TOP_VALUE_BINS; ++i) {
        figures.vTopValueBins.push_back(entries.Count("top_value_bin_" + std::to_string(i)));
        iBinned += figures.vTopValueBins.back();
    }
    figures.sTopValueOf = entries.Text("top_value_of");
    if (figures.sTopValueOf.empty() || iBinned != MultireadsWritten(figures))
        throw std::runtime_error("the manifest (" + sManifestName + "): its figures are incomplete or do not add up");
    figures.bComplete = true;
    return summary;
}

RunSummary AddUpParts(const std::vector<RunSummary>& vParts, const std::vector<std::string>& vManifestNames) {
    RunSummary whole = vParts.front();
    whole.vMultireadsScored.assign(2, 0);
    whole.figures.vMultireadsWritten.assign(2, 0);
    whole.figures.vTopValueBins.assign(TOP_VALUE_BINS, 0);
    for (std::size_t p = 0; p < vParts.size(); ++p) {
        const RunSummary& part = vParts[p];
        if (!SameStep1(part, whole))
            throw std::runtime_error("the manifests (" + vManifestNames.front() + ") and (" + vManifestNames[p] +
                                     ") disagree on the figures of the input");
        AddFrom(whole.vMultireadsScored, part.vMultireadsScored);
        AddFrom(whole.figures.vMultireadsWritten, part.figures.vMultireadsWritten);
        AddFrom(whole.figures.vTopValueBins, part.figures.vTopValueBins);
    }
    return whole;
}
