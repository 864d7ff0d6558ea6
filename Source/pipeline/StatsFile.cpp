#include "StatsFile.h"

#include <cmath>

#include "JsonText.h"
#include "NumberText.h"
#include "RunFigures.h"
#include "RunSettings.h"
#include "SettingsTable.h"
#include "Version.h"

namespace {

typedef std::vector<std::pair<std::string, std::string>> Members;

int64_t Sum(const KeyedCounts& vCounts) {
    int64_t iTotal = 0;
    for (const auto& entry : vCounts) iTotal += entry.second;
    return iTotal;
}

// Every key with its value in force: whole numbers and rates as numbers, the rest as text (null
// when empty, as OUTPUT_FORMAT chosen by the input).
std::string SettingsObject(const RunSettings& settings) {
    Members vMembers;
    for (const SettingInfo& info : SettingTable()) {
        const std::string sText = ValueText(info, settings);
        std::string sJson;
        if (info.kind == SettingKind::Integer) sJson = sText;
        else if (info.kind == SettingKind::Rate) sJson = ExactNumberText(settings.*info.pRate);
        else sJson = sText.empty() ? "null" : JsonString(sText);
        vMembers.emplace_back(info.pName, sJson);
    }
    return JsonObject(vMembers);
}

std::string MultireadsObject(const RunFigures& figures) {
    KeyedCounts vCounts{{"total", MultireadsWritten(figures)}};
    for (std::size_t k = 2; k < figures.vMultireadsWritten.size(); ++k)
        vCounts.emplace_back(std::to_string(k), figures.vMultireadsWritten[k]);
    return JsonCounts(vCounts);
}

std::string BinsArray(const std::vector<int64_t>& vBins) {
    std::string sJson = "[";
    for (std::size_t i = 0; i < vBins.size(); ++i) sJson += (i == 0 ? "" : ", ") + std::to_string(vBins[i]);
    return sJson + "]";
}

}  // namespace

std::string StatsJson(const RunSummary& summary, const RunSettings& settings, const StatsOrigin& origin) {
    const RunFigures& figures = summary.figures;
    const int64_t iMultireads = MultireadsWritten(figures);
    const double dResolved =
        iMultireads == 0 ? std::nan("") : static_cast<double>(MultireadsResolved(figures)) / iMultireads;
    const Members vMembers = {
        {"program", JsonString("korvex")},
        {"version", JsonString(PROGRAM_VERSION)},
        {"command", JsonString(origin.pCommand)},
        {"part", origin.pCommand == std::string("part") ? std::to_string(settings.part) : std::string("null")},
        {"nparts", std::to_string(settings.nparts)},
        {"input", JsonString(origin.sInput)},
        {"output", JsonString(origin.sOutput)},
        {"lines_read", std::to_string(summary.iLinesRead)},
        {"lines_rejected", std::to_string(Sum(figures.vRejected))},
        {"rejected", JsonCounts(figures.vRejected)},
        {"dropped", JsonCounts(figures.vDropped)},
        {"unique_reads", std::to_string(summary.iUniqueReads)},
        {"multireads_scored", MultireadsObject(figures)},
        {"top_value_of", JsonString(figures.sTopValueOf)},
        {"top_value_bins", BinsArray(figures.vTopValueBins)},
        {"multireads_resolved", std::to_string(MultireadsResolved(figures))},
        {"share_resolved", JsonNumber(dResolved, 6)},
        {"wall_seconds", JsonNumber(origin.dWallSeconds, 3)},
        {"cpu_seconds", JsonNumber(origin.resources.dCpuSeconds, 3)},
        {"peak_memory_kib", std::to_string(origin.resources.iPeakKibibytes)},
        {"settings", SettingsObject(settings)},
    };
    std::string sJson = "{\n";
    for (std::size_t i = 0; i < vMembers.size(); ++i)
        sJson += "  " + JsonString(vMembers[i].first) + ": " + vMembers[i].second + (i + 1 < vMembers.size() ? ",\n" : "\n");
    return sJson + "}\n";
}
