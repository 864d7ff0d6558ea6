// The pipeline driver: Step 1 reads the SAM file into the multiread containers, Step 2
// computes them, and the output is written from a second reading of the input.
#include "Korvex.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "AtomicFile.h"
#include "DataTrainer.h"
#include "EarlyRecordCheck.h"
#include "Evidence.h"
#include "InputFile.h"
#include "Leftovers.h"
#include "LineSources.h"
#include "Logger.h"
#include "Manifest.h"
#include "ModelParameters.h"
#include "MultiReadCollectionMgr.h"
#include "OutputWriters.h"
#include "PartOutputs.h"
#include "PathNames.h"
#include "RunDirectory.h"
#include "RunFigures.h"
#include "RunPlan.h"
#include "RunReports.h"
#include "RunSettings.h"
#include "RunSummary.h"
#include "SettingsAsInput.h"
#include "StepProgress.h"
#include "TableBudget.h"
#include "ThreadDataMgr.h"
#include "ValuesFile.h"
#include "WallClock.h"

namespace {

// What the steps of one run read, and where they report.
struct RunContext {
    const RunSettings& settings;
    const InputFile& input;
    RunSummary& summary;
    StepProgress& progress;
};

// What Step 1 leaves for Step 2 and the output. The containers own every alignment of the run;
// only the initial thread changes them, the workers of Step 2 write probability values of their
// own jobs.
struct Step1Data {
    explicit Step1Data(const RunSettings& settings)
        : collections(settings.maxMismatchesForTopHits, settings.extraMismatchesForAdditionalHits,
                      settings.iMaxAlignments, settings.iMaxFragmentLength) {}

    MultiReadCollectionMgr collections;
    int64_t iLinesAccepted = 0;
    ContentChecksum inputContent;  // of the input as Step 1 read it
};

// A run without a usable line ends normally, but the user is told why, also on standard error.
void ExplainEmptyRun(const std::string& sMapFileName, const std::string& sBuildError,
                     const LineRejections& rejections) {
    std::ostringstream message;
    message << "process2: " << DescribeSamFile(sMapFileName) << " has no usable alignment line: ";
    if (!sBuildError.empty())
        message << sBuildError;
    else
        message << "all " << rejections.Total() << " alignment lines were rejected (the reasons are listed above).";
    message << " No output was written." << std::endl;
    GetLogger()->Write(message, true, LogLevel::Warning);
}

// Step 1: the containers and the unique reads sorted by position, their sizes in the log.
// False when the file has no usable line.
bool RunStep1(const RunContext& run, Step1Data& data) {
    const InputFile& input = run.input;
    MultiReadCollectionMgr& collections = data.collections;
    std::ostringstream message;
    Logger* pLogger = GetLogger();
    const double dStepStart = WallClockSeconds();
    message << std::endl << "==> Step 1: Reading the SAM file, processing into multiread containers." << std::endl;
    pLogger->Write(message, true);

    std::unique_ptr<LineSource> pSource = OpenLineSource(input, InputOptionsOf(run.settings));
    std::string sBuildError;
    data.iLinesAccepted = collections.BuildReadCollections(*pSource, input.Name(), sBuildError, run.settings.iNumThreads);
    data.inputContent = pSource->Checksum();
    if (data.iLinesAccepted < 1) {
        message << std::endl
                << "process2: ZERO lines read from the input file... nothing left to do.... exiting." << std::endl
                << std::endl;
        pLogger->Write(message, true);
        ExplainEmptyRun(input.Name(), sBuildError, collections.Rejections());
        return false;
    }

    const double dSeconds = WallClockSeconds() - dStepStart;
    message << "process2: We read (" << data.iLinesAccepted << ") lines from the map file." << std::endl;
    pLogger->Write(message, true);
    for (int k = 1; k <= collections.LargestAlignmentCount(); ++k) {
        message << "process2: map_" << k << "    now contains (" << collections.ReadCount(k) << ") items."
                << std::endl;
        pLogger->Write(message, true);
    }
    message << "process2: elapsed time (" << dSeconds << ") secs   (" << dSeconds / 60.0 << " mins)" << std::endl;
    pLogger->Write(message, true, LogLevel::Detail);

    message << "process2: The size of the LineNumberMap is: " << collections.Kept().Size() << std::endl;
    pLogger->Write(message, true, LogLevel::Detail);
    message << "==> Step 1: Finished." << std::endl;
    pLogger->Write(message, true);
    return true;
}

// Every alignment of a multiread starts without a value, so that the multireads that this run
// does not compute (those of other parts) carry none.
void MarkMultiReadsNotComputed(MultiReadCollectionMgr& collections) {
    const double dNoValue = std::numeric_limits<double>::quiet_NaN();
    for (int k = 2; k <= collections.LargestAlignmentCount(); ++k)
        for (MultiRead& multiRead : collections.Container(k))
            for (int j = 0; j < k; ++j) {
                Read& read = multiRead.Reads(j);
                read.probability[0] = read.probability[1] = dNoValue;
            }
}

std::string CountWord(int k) {
    static const char* const COUNT_WORDS[] = {"twice", "three times", "four times", "five times"};
    return k >= 2 && k <= 5 ? COUNT_WORDS[k - 2] : std::to_string(k) + " times";
}

// The multireads of each container that this part computes.
int64_t SliceSize(int n, const RunSettings& settings) {
    int iStart = 0;
    int iEnd = 0;
    GetPartSlice(n, settings.nparts, settings.part, iStart, iEnd);
    return iEnd - iStart;
}

ModelParameters ModelParametersOf(const RunSettings& settings) {
    return ModelParameters{settings.iFlankingValue, settings.dPolymorphismRate, settings.iTotalIterations,
                           settings.iBurninIterations};
}

// Step 2: computes this part's share of map_2 to map_MAX_ALIGNMENTS. The call_record files go to the run's
// private directory.
void RunStep2(const RunContext& run, Step1Data& data, const std::string& sCallRecordDirectory) {
    const RunSettings& settings = run.settings;
    MultiReadCollectionMgr& collections = data.collections;
    Logger* pLogger = GetLogger();
    std::ostringstream message;
    message << std::endl << "==> Step 2: Processing each of the multiread containers." << std::endl;
    pLogger->Write(message, true);

    MarkMultiReadsNotComputed(collections);
    int64_t iTotal = 0;
    for (int k = 2; k <= collections.LargestAlignmentCount(); ++k)
        iTotal += SliceSize(static_cast<int>(collections.Container(k).size()), settings);
    run.progress.Start(iTotal);
    DataTrainer trainer;
    trainer.model = ModelParametersOf(settings);
    trainer.probMode = settings.probMode;
    trainer.iNumParts = settings.nparts;
    trainer.iPartToRun = settings.part;
    trainer.iNumThreads = settings.iNumThreads;
    trainer.sCallRecordDirectory = sCallRecordDirectory;
    trainer.pProgress = &run.progress;

    TableBudget::ScaleToRun(collections.Kept().Size());
    const EvidenceIndex evidence(collections.Uniques(), settings.strandness, trainer.model);
    for (int k = 2; k <= collections.LargestAlignmentCount(); ++k) {
        MultiReadContainer& container = collections.Container(k);
        trainer.trainData(container, evidence, collections.error_score);
        run.summary.vMultireadsScored[k] = SliceSize(static_cast<int>(container.size()), settings);
        message << "process2" << ": Alignment for ID appearing " << CountWord(k) << ": finished!" << std::endl;
        pLogger->Write(message, true, LogLevel::Detail);
        if (k == 2) {
            message << "process2" << ": The size of probability map is: " << collections.Kept().Size()
                    << std::endl;
            pLogger->Write(message, true, LogLevel::Detail);
        }
        message << "--------" << std::endl << std::endl;
        pLogger->Write(message, true, LogLevel::Detail);
    }
    run.progress.Finish();
    message << "==> Step 2: Finished." << std::endl;
    pLogger->Write(message, true);
}

// The values of the kept alignments in line order: 1 for a unique read's line, when this part
// writes those; a multiread's line its computed values. Alignments without a value this run
// computed (those of other parts) are left out.
class KeptLineValues : public LineValueSource {
public:
    KeptLineValues(const KeptLines& kept, bool bUniqueValues, int iValueColumns)
        : cursor(kept), bUniqueLineValues(bUniqueValues), iColumns(iValueColumns) {}

    bool Next(int64_t& iLineNumber, double* pdValues) override {
        const Read* pRead = nullptr;
        while (cursor.Next(iLineNumber, pRead)) {
            if (pRead == nullptr) {
                if (!bUniqueLineValues) continue;
                for (int i = 0; i < iColumns; ++i) pdValues[i] = 1.0;
                return true;
            }
            if (std::isnan(pRead->probability[0])) continue;
            for (int i = 0; i < iColumns; ++i) pdValues[i] = pRead->probability[i];
            return true;
        }
        return false;
    }

private:
    KeptLines::Cursor cursor;
    bool bUniqueLineValues;
    int iColumns;
};

// What a part computed, as its manifest records it.
PartWork WorkOfThePart(const Step1Data& data, const RunSettings& settings, const RunSummary& summary,
                       const ContentChecksum& written) {
    const MultiReadCollectionMgr& collections = data.collections;
    PartWork work;
    work.iInputLines = collections.LinesRead();
    const KeptLines& kept = collections.Kept();
    work.iKeptAlignments = kept.Size();
    if (UniqueValuesWrittenByThisPart(settings)) work.iValueLines += kept.UniqueCount();
    for (const Read* pRead : kept.MultireadLines()) work.iValueLines += !std::isnan(pRead->probability[0]);
    for (int64_t iScored : summary.vMultireadsScored) work.iMultireadsComputed += iScored;
    work.input = data.inputContent;
    work.output = written;
    work.summary = summary;
    return work;
}

// The output (or a part's values) and, for a part, its manifest, each written beside and
// renamed into place. The output pass must read the input Step 1 read, byte for byte.
void WriteResults(const RunContext& run, const Step1Data& data, const OutputTarget& finalOutput,
                  const PartFiles& files) {
    const RunSettings& settings = run.settings;
    std::ostringstream message;
    message << "process2: Writing final output to (" << files.sOutput << ")." << std::endl;
    GetLogger()->Write(message, true);
    const double dStart = WallClockSeconds();
    KeptLineValues values(data.collections.Kept(), UniqueValuesWrittenByThisPart(settings),
                          ValueColumns(settings.probMode));
    OutputTarget output = finalOutput;
    output.sPath = files.sOutput;
    RemoveOldManifest(files);
    const ContentChecksum written =
        files.bValuesOnly
            ? WriteValuesFile(files.sOutput, values, ValueColumns(settings.probMode))
            : WriteOutput(run.input, InputOptionsOf(settings), output, values,
                          EarlierReading{data.collections.LinesRead(), data.inputContent});
    run.summary.vOutputFiles.push_back(files.sOutput);
    if (!files.sManifest.empty()) {
        WritePartManifest(files, settings, run.input, WorkOfThePart(data, settings, run.summary, written));
        run.summary.vOutputFiles.push_back(files.sManifest);
    }
    message << "process2: Finished generating the output file (" << WallClockSeconds() - dStart << " secs)." << std::endl;
    GetLogger()->Write(message, true);
}

void FillSummary(const Step1Data& data, RunSummary& summary) {
    const MultiReadCollectionMgr& collections = data.collections;
    summary.iLinesRead = collections.LinesRead();
    const LineRejections& rejections = collections.Rejections();
    summary.iAlignmentLines = std::max<int64_t>(data.iLinesAccepted, 0) + rejections.Total();
    for (int i = 0; i < REJECT_REASON_COUNT; ++i) {
        if (rejections.aiCount[i] == 0) continue;
        summary.vRejected.push_back(RejectedLines{DescribeRejectReason(static_cast<RejectReason>(i)),
                                                  rejections.aiCount[i], rejections.aiFirstLine[i]});
    }
    const KeepRuleDrops& drops = collections.Drops();
    for (int i = 0; i < DROP_REASON_COUNT; ++i) {
        const auto reason = static_cast<DropReason>(i);
        if (drops.Count(reason) == 0) continue;
        summary.vDropped.push_back(DroppedByKeepRules{DescribeDropReason(reason), drops.Count(reason),
                                                      drops.FirstLine(reason), drops.Lines(reason),
                                                      DropCountsReads(reason)});
    }
    summary.iReadsWithSeveralAlignments = collections.ReadsWithSeveralAlignments();
    summary.iUniqueReads = static_cast<int64_t>(collections.Uniques().Size());
    summary.iUniquePairs = collections.UniquePairs();
    summary.iPairMultireads = collections.PairMultireads();
    summary.vMultireadsScored.assign(collections.LargestAlignmentCount() + 1, 0);
}

}  // namespace

std::unique_ptr<InputFile> OpenRunInput(const RunSettings& settings) {
    if (settings.sMapFileName.empty()) throw InputError("process2: no SAM file was given: set MAP_FILENAME");
    auto pInput = std::make_unique<InputFile>(settings.sMapFileName);
    RefuseSettingsGivenAsInput(*pInput);
    return pInput;
}

void RunPipeline(const RunSettings& settings, const InputFile& input, RunSummary& summary, StepProgress& progress) {
    const OutputTarget finalOutput = FinalOutputTarget(settings, input);
    const PartFiles files = PartFilesOf(finalOutput.sPath, settings);
    const ReportFiles reports = ReportFilesOf(false, settings, finalOutput.sPath);
    // Before any work: an output that cannot be written is refused now, not after hours.
    for (const std::string& sFile : {files.sOutput, files.sManifest})
        if (!sFile.empty()) AtomicFile probe(sFile, &input);
    ProbeReportFiles(reports, input);
    const RunContext run{settings, input, summary, progress};
    Step1Data data(settings);
    EarlyRecordCheck recordCheck(input, InputOptionsOf(settings), finalOutput.format, settings.iNumThreads);
    const bool bUsable = RunStep1(run, data);
    recordCheck.Finish();
    FillSummary(data, summary);
    if (!bUsable) return;

    // Removed when the run ends well; kept after a failure, since it then holds what was computed.
    RunDirectory workDirectory(DirectoryOf(files.sOutput));
    ReportLeftovers(workDirectory.Path(), {files.sOutput, files.sManifest},
                    input.IsStandardInput() ? input.Path() : std::string());
    RunStep2(run, data, workDirectory.Path());
    data.collections.ReleaseScoringInputs();
    KeepOnlyValuesOwnedByThisPart(data.collections, settings);
    data.collections.SumPairValuesOnLines();
    CollectRunFigures(data.collections, settings.probMode, summary);
    RemoveOldReports(reports);
    WriteResults(run, data, finalOutput, files);
}
