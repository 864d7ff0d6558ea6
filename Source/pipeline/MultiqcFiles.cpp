#include "MultiqcFiles.h"

#include <cmath>

#include "JsonText.h"
#include "RunFigures.h"

namespace {

typedef std::vector<std::pair<std::string, std::string>> Members;

std::string Section(const std::string& sId, const std::string& sName, const std::string& sDescription,
                    const std::string& sPlotType, const std::string& sConfig, const std::string& sSample,
                    const std::string& sData) {
    const Members vMembers = {{"id", JsonString("korvex_" + sId)},
                              {"section_name", JsonString(sName)},
                              {"description", JsonString(sDescription)},
                              {"plot_type", JsonString(sPlotType)},
                              {"pconfig", sConfig},
                              {"data", JsonObject({{sSample, sData}})}};
    std::string sJson = "{\n";
    for (std::size_t i = 0; i < vMembers.size(); ++i)
        sJson += "  " + JsonString(vMembers[i].first) + ": " + vMembers[i].second + (i + 1 < vMembers.size() ? ",\n" : "\n");
    return sJson + "}\n";
}

std::string GeneralStatistics(const std::string& sSample, const RunFigures& figures) {
    const int64_t iMultireads = MultireadsWritten(figures);
    const std::string sConfig =
        "[" + JsonObject({{"multireads", JsonObject({{"title", JsonString("Multireads")},
                                                     {"description", JsonString("multireads scored by korvex")},
                                                     {"format", JsonString("{:,.0f}")}})}}) +
        ", " +
        JsonObject({{"resolved", JsonObject({{"title", JsonString("% resolved")},
                                             {"description", JsonString("multireads whose top " + figures.sTopValueOf +
                                                                        " is at least 0.9")},
                                             {"min", "0"}, {"max", "100"}, {"suffix", JsonString("%")}})}}) +
        "]";
    Members vData = {{"multireads", std::to_string(iMultireads)}};
    if (iMultireads > 0)
        vData.emplace_back("resolved", JsonNumber(100.0 * MultireadsResolved(figures) / iMultireads, 2));
    return Section("general", "KORVEX", "", "generalstats", sConfig, sSample, JsonObject(vData));
}

// The scored multireads, the unique reads, then every reason that left lines or reads out.
std::string LinesByFate(const std::string& sSample, const RunSummary& summary) {
    const RunFigures& figures = summary.figures;
    KeyedCounts vFates = {{"multireads scored", MultireadsWritten(figures)}, {"unique reads", summary.iUniqueReads}};
    for (const auto& [sKey, iCount] : figures.vRejected)
        if (iCount > 0) vFates.emplace_back("rejected: " + sKey, iCount);
    for (const auto& [sKey, iCount] : figures.vDropped)
        if (iCount > 0) vFates.emplace_back("dropped: " + sKey, iCount);
    const std::string sConfig = JsonObject({{"id", JsonString("korvex_fates_plot")},
                                            {"title", JsonString("KORVEX: reads and lines by fate")},
                                            {"ylab", JsonString("count")}});
    return Section("fates", "Reads and lines by fate",
                   "Multireads scored and unique reads (reads), lines rejected (alignment lines) and dropped by "
                   "the keep rules (reads, or lines for the keys that begin with lines_).",
                   "bargraph", sConfig, sSample, JsonCounts(vFates));
}

// Each bin at its middle: 0.05 for values from 0 to 0.1, ..., 0.95 for 0.9 to 1.
std::string TopValues(const std::string& sSample, const RunFigures& figures) {
    Members vPoints;
    for (std::size_t i = 0; i < figures.vTopValueBins.size(); ++i)
        vPoints.emplace_back(JsonNumber(0.05 + 0.1 * static_cast<double>(i), 2), std::to_string(figures.vTopValueBins[i]));
    const std::string sConfig = JsonObject({{"id", JsonString("korvex_top_value_plot")},
                                            {"title", JsonString("KORVEX: top value per multiread")},
                                            {"xlab", JsonString("top value (middle of its tenth)")},
                                            {"ylab", JsonString("multireads")},
                                            {"xmin", "0"}, {"xmax", "1"}, {"ymin", "0"}});
    return Section("top_value", "Top value per multiread",
                   "How many multireads have their highest value in each tenth from 0 to 1: the posterior, or "
                   "the unique-read share when only that is computed (PROB_OUTPUT=PROP). The last tenth holds "
                   "the multireads resolved.",
                   "linegraph", sConfig, sSample, JsonObject(vPoints));
}

}  // namespace

std::vector<std::string> MultiqcSectionNames() { return {"general", "fates", "top_value"}; }

std::vector<std::string> MultiqcTexts(const std::string& sSample, const RunSummary& summary) {
    return {GeneralStatistics(sSample, summary.figures), LinesByFate(sSample, summary),
            TopValues(sSample, summary.figures)};
}
