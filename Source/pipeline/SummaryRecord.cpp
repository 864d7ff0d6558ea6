#include "SummaryRecord.h"

#include <sstream>
#include <stdexcept>
#include <string>

namespace {

// Lists are items separated by '|', each of fields separated by ',', the reason last: no
// reason holds '|', and a comma in it stays in its last field.
const char ITEM = '|';
const char FIELD = ',';

std::string RejectedItems(const std::vector<RejectedLines>& vRejected) {
    std::string sText;
    for (const RejectedLines& rejected : vRejected)
        sText += (sText.empty() ? "" : std::string(1, ITEM)) + std::to_string(rejected.iCount) + FIELD +
                 std::to_string(rejected.iFirstLine) + FIELD + rejected.sReason;
    return sText;
}

std::string DroppedItems(const std::vector<DroppedByKeepRules>& vDropped) {
    std::string sText;
    for (const DroppedByKeepRules& dropped : vDropped)
        sText += (sText.empty() ? "" : std::string(1, ITEM)) + std::to_string(dropped.iCount) + FIELD +
                 std::to_string(dropped.iFirstLine) + FIELD + std::to_string(dropped.iLines) + FIELD +
                 (dropped.bReads ? "reads" : "lines") + FIELD + dropped.sReason;
    return sText;
}

std::string CountItems(const std::vector<int64_t>& vCounts) {
    std::string sText;
    for (std::size_t k = 0; k < vCounts.size(); ++k)
        sText += (k == 0 ? "" : std::string(1, ITEM)) + std::to_string(vCounts[k]);
    return sText;
}

std::vector<std::string> Split(const std::string& sText, char cSeparator, std::size_t iMaxFields) {
    std::vector<std::string> vFields;
    if (sText.empty()) return vFields;
    std::size_t iStart = 0;
    for (std::size_t iEnd; vFields.size() + 1 < iMaxFields && (iEnd = sText.find(cSeparator, iStart)) != std::string::npos;
         iStart = iEnd + 1)
        vFields.push_back(sText.substr(iStart, iEnd - iStart));
    vFields.push_back(sText.substr(iStart));
    return vFields;
}

int64_t Number(const std::string& sText, const std::string& sKey) {
    std::size_t iUsed = 0;
    long long iValue = -1;
    try {
        iValue = std::stoll(sText, &iUsed);
    } catch (const std::exception&) {
    }
    if (iValue < 0 || iUsed != sText.size())
        throw std::runtime_error("the manifest entry " + sKey + " holds \"" + sText + "\", not a count");
    return iValue;
}

// The items of a list entry, each split into iFields fields; none when the manifest lacks it.
std::vector<std::vector<std::string>> Items(const Manifest& manifest, const std::string& sKey, std::size_t iFields) {
    std::vector<std::vector<std::string>> vItems;
    const std::string* pText = manifest.Find(sKey);
    if (pText == nullptr) return vItems;
    for (const std::string& sItem : Split(*pText, ITEM, std::string::npos)) {
        vItems.push_back(Split(sItem, FIELD, iFields));
        if (vItems.back().size() != iFields)
            throw std::runtime_error("the manifest entry " + sKey + " holds \"" + sItem + "\", which is not " +
                                     std::to_string(iFields) + " fields");
    }
    return vItems;
}

int64_t NumberEntry(const Manifest& manifest, const std::string& sKey) {
    const std::string* pText = manifest.Find(sKey);
    return pText == nullptr ? 0 : Number(*pText, sKey);
}

}  // namespace

void RecordSummary(const RunSummary& summary, Manifest& manifest) {
    manifest.Set("summary_lines_read", summary.iLinesRead);
    manifest.Set("summary_alignment_lines", summary.iAlignmentLines);
    manifest.Set("summary_rejected", RejectedItems(summary.vRejected));
    manifest.Set("summary_dropped", DroppedItems(summary.vDropped));
    manifest.Set("summary_reads_with_several_alignments", summary.iReadsWithSeveralAlignments);
    manifest.Set("summary_unique_reads", summary.iUniqueReads);
    manifest.Set("summary_multireads_scored", CountItems(summary.vMultireadsScored));
}

std::optional<RunSummary> MergedSummary(const std::vector<const Manifest*>& vManifests) {
    if (vManifests.empty() || vManifests[0]->Find("summary_lines_read") == nullptr) return std::nullopt;
    RunSummary summary;
    const Manifest& first = *vManifests[0];
    summary.iLinesRead = NumberEntry(first, "summary_lines_read");
    summary.iAlignmentLines = NumberEntry(first, "summary_alignment_lines");
    for (const auto& v : Items(first, "summary_rejected", 3))
        summary.vRejected.push_back({v[2], Number(v[0], "summary_rejected"), Number(v[1], "summary_rejected")});
    for (const auto& v : Items(first, "summary_dropped", 5))
        summary.vDropped.push_back({v[4], Number(v[0], "summary_dropped"), Number(v[1], "summary_dropped"),
                                    Number(v[2], "summary_dropped"), v[3] == "reads"});
    summary.iReadsWithSeveralAlignments = NumberEntry(first, "summary_reads_with_several_alignments");
    summary.iUniqueReads = NumberEntry(first, "summary_unique_reads");
    for (const Manifest* pManifest : vManifests) {
        const auto vItems = Items(*pManifest, "summary_multireads_scored", 1);
        if (summary.vMultireadsScored.size() < vItems.size()) summary.vMultireadsScored.resize(vItems.size(), 0);
        for (std::size_t k = 0; k < vItems.size(); ++k)
            summary.vMultireadsScored[k] += Number(vItems[k][0], "summary_multireads_scored");
    }
    return summary;
}
