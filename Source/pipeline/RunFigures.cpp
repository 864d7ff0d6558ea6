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

// The number at the end of a key, below iLimit.
std::size_t IndexOf(const std::string& sText, std::size_t iLimit, const std::string& sKey,
                    const std::string& sManifestName) {
    const int64_t iIndex = ParseCount(sText, sKey, sManifestName);
    if (iIndex >= static_cast<int64_t>(iLimit))
        throw std::runtime_error("the manifest (" + sManifestName + "): " + sKey + " is not a key of its figures");
    return static_cast<std::size_t>(iIndex);
}

void AddAt(std::vector<int64_t>& vSums, std::size_t i, int64_t iCount) {
    if (vSums.size() <= i) vSums.resize(i + 1, 0);
    vSums[i] += iCount;
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
    manifest.Set(PREFIX + "unique_reads", summary.iUniqueReads);
    for (const auto& [sKey, iCount] : figures.vRejected) manifest.Set(PREFIX + "rejected_" + sKey, iCount);
    for (const auto& [sKey, iCount] : figures.vDropped) manifest.Set(PREFIX + "dropped_" + sKey, iCount);
    for (std::size_t k = 2; k < figures.vMultireadsWritten.size(); ++k)
        manifest.Set(PREFIX + "multireads_" + std::to_string(k), figures.vMultireadsWritten[k]);
    for (std::size_t i = 0; i < figures.vTopValueBins.size(); ++i)
        manifest.Set(PREFIX + "top_value_bin_" + std::to_string(i), figures.vTopValueBins[i]);
    manifest.Set(PREFIX + "top_value_of", figures.sTopValueOf);
}

RunSummary FiguresFromManifest(const Manifest& manifest, const std::string& sManifestName) {
    RunSummary summary;
    if (manifest.Find(PREFIX + "lines_read") == nullptr) return summary;
    RunFigures& figures = summary.figures;
    figures.vMultireadsWritten.assign(2, 0);
    for (const auto& [sKey, sValue] : manifest.Entries()) {
        if (sKey.rfind(PREFIX, 0) != 0) continue;
        const std::string sName = sKey.substr(PREFIX.size());
        if (sName == "top_value_of") {
            figures.sTopValueOf = sValue;
            continue;
        }
        const int64_t iCount = ParseCount(sValue, sKey, sManifestName);
        auto After = [&](const std::string& sStart) { return sName.substr(sStart.size()); };
        if (sName == "lines_read") summary.iLinesRead = iCount;
        else if (sName == "unique_reads") summary.iUniqueReads = iCount;
        else if (sName.rfind("rejected_", 0) == 0) figures.vRejected.emplace_back(After("rejected_"), iCount);
        else if (sName.rfind("dropped_", 0) == 0) figures.vDropped.emplace_back(After("dropped_"), iCount);
        else if (sName.rfind("multireads_", 0) == 0)
            AddAt(figures.vMultireadsWritten, IndexOf(After("multireads_"), 1000, sKey, sManifestName), iCount);
        else if (sName.rfind("top_value_bin_", 0) == 0)
            AddAt(figures.vTopValueBins, IndexOf(After("top_value_bin_"), TOP_VALUE_BINS, sKey, sManifestName), iCount);
    }
    int64_t iBinned = 0;
    for (int64_t iCount : figures.vTopValueBins) iBinned += iCount;
    if (figures.vTopValueBins.size() != TOP_VALUE_BINS || figures.sTopValueOf.empty() ||
        iBinned != MultireadsWritten(figures))
        throw std::runtime_error("the manifest (" + sManifestName + "): its figures are incomplete or do not add up");
    figures.bComplete = true;
    return summary;
}

RunSummary AddUpParts(const std::vector<RunSummary>& vParts, const std::vector<std::string>& vManifestNames) {
    RunSummary whole = vParts.front();
    RunFigures& figures = whole.figures;
    figures.vMultireadsWritten.assign(2, 0);
    figures.vTopValueBins.assign(TOP_VALUE_BINS, 0);
    for (std::size_t p = 0; p < vParts.size(); ++p) {
        const RunSummary& part = vParts[p];
        if (part.iLinesRead != whole.iLinesRead || part.iUniqueReads != whole.iUniqueReads ||
            part.figures.vRejected != figures.vRejected || part.figures.vDropped != figures.vDropped ||
            part.figures.sTopValueOf != figures.sTopValueOf)
            throw std::runtime_error("the manifests (" + vManifestNames.front() + ") and (" + vManifestNames[p] +
                                     ") disagree on the figures of the input");
        for (std::size_t k = 2; k < part.figures.vMultireadsWritten.size(); ++k)
            AddAt(figures.vMultireadsWritten, k, part.figures.vMultireadsWritten[k]);
        for (std::size_t i = 0; i < TOP_VALUE_BINS; ++i) figures.vTopValueBins[i] += part.figures.vTopValueBins[i];
    }
    return whole;
}
