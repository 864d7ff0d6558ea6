// Fuzz target: the whole calculation of one multiread (windows, evidence, sampler and
// proportional estimates) in every mode, on a small set of unique reads built from the input:
// read lengths 1 to 150 (the unique reads' each their own), 2 to 12 alignments with up to 12
// mismatches each, at most 50 iterations, positions anywhere from 0 to
// the top of the int range, any quality characters and rates down to the smallest double.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <deque>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "ErrorScore.h"
#include "FuzzSupport.h"
#include "MultiReadCollectionMgr.h"
#include "MultiReadScorer.h"

namespace {

const int MAX_UNIQUE_READS = 40;

// The reads of one input and every text they point to.
struct Case {
    int iSeqLength = 1;
    ModelParameters parameters{};
    bool bStrandness = false;
    std::deque<std::string> vTexts;  // never shrinks while the case lives: the Reads point into it
    std::deque<std::vector<Read>> vOwned;  // the Reads of the multireads; never moved
    std::deque<std::vector<ReadMismatch>> vMismatchLists;  // the Reads' mismatches; never moved
    MultiReadContainer uniqueReads;  // in the order made, for the description
    UniqueReads uniques;             // the same, sorted by position
    std::map<char, double> errorScore;
    MultiRead multiRead;
};

const char* Keep(Case& c, std::string sText) {
    c.vTexts.push_back(std::move(sText));
    return c.vTexts.back().c_str();
}

// Any byte a QUAL field can hold (not NUL, tab or line end).
char QualityChar(FuzzedDataProvider& data) {
    const char cChar = static_cast<char>(data.ConsumeIntegralInRange<int>(1, 255));
    return cChar == '\t' || cChar == '\n' ? 'I' : cChar;
}

double PolymorphismRate(FuzzedDataProvider& data) {
    switch (data.ConsumeIntegralInRange(0, 3)) {
        case 0: return std::numeric_limits<double>::denorm_min();
        case 1: return 1.0 - std::numeric_limits<double>::epsilon() / 2;  // the largest double below 1
        case 2: return 1e-300;
        default: {
            const double dRate = data.ConsumeProbability<double>();
            return dRate > 0.0 && dRate < 1.0 ? dRate : 0.1;
        }
    }
}

Read MakeAlignment(FuzzedDataProvider& data, Case& c, int L, int iBasePosition, int iSpread) {
    Read read;
    read.iLength = static_cast<int16_t>(L);
    read.readID = "r";
    static const char* const CHROMOSOMES[] = {"c1", "c2"};
    const int iChromosome = data.ConsumeIntegralInRange(0, 2);  // 2: "c1" in a text of its own
    read.chromosome = iChromosome < 2 ? CHROMOSOMES[iChromosome] : Keep(c, "c1");
    const long long iPosition = static_cast<long long>(iBasePosition) + data.ConsumeIntegralInRange(-iSpread, iSpread);
    read.position = static_cast<int>(std::clamp<long long>(iPosition, 0, INT_MAX));
    read.strand = data.ConsumeBool() ? '+' : '-';
    std::string sQuality = data.ConsumeIntegralInRange(0, 15) == 0 ? std::string("*") : std::string(L, QualityChar(data));
    int iOffset = -1;
    const int iMismatches = data.ConsumeIntegralInRange(0, 12);
    std::vector<ReadMismatch>& vMismatches = c.vMismatchLists.emplace_back();
    for (int i = 0; i < iMismatches && iOffset + 1 < L; ++i) {
        iOffset = data.ConsumeIntegralInRange(iOffset + 1, L - 1);
        if (sQuality.size() > 1) sQuality[iOffset] = QualityChar(data);
        const char cQuality = iOffset < static_cast<int>(sQuality.size()) ? sQuality[iOffset] : '\0';
        vMismatches.emplace_back(static_cast<int16_t>(iOffset), cQuality);
    }
    read.pMismatches = vMismatches.data();
    read.iMismatchCount = static_cast<uint16_t>(vMismatches.size());
    read.quality = Keep(c, sQuality);
    return read;
}

MultiRead MakeMultiRead(Case& c, FuzzedDataProvider& data, int iAlignments, int L, int iBasePosition, int iSpread) {
    std::vector<Read>& vReads = c.vOwned.emplace_back();
    for (int j = 0; j < iAlignments; ++j) vReads.push_back(MakeAlignment(data, c, L, iBasePosition, iSpread));
    return MultiRead{vReads.data(), iAlignments};
}

void BuildCase(FuzzedDataProvider& data, Case& c) {
    const int L = c.iSeqLength = data.ConsumeIntegralInRange(1, 150);
    const int iNumAlignments = data.ConsumeIntegralInRange(2, 12);
    const int iTotal = data.ConsumeIntegralInRange(2, 50);
    const int iBurnin = data.ConsumeIntegralInRange(0, iTotal);
    const double dRate = PolymorphismRate(data);
    const int iFlanking = data.ConsumeBool() ? data.ConsumeIntegralInRange(-2 * L, 2 * L) : data.ConsumeIntegral<int>();
    c.parameters = ModelParameters{iFlanking, dRate, iTotal, iBurnin};
    c.bStrandness = data.ConsumeBool();
    const int iBase = data.ConsumeBool() ? INT_MAX - data.ConsumeIntegralInRange(0, 2 * L)
                                         : data.ConsumeIntegralInRange(0, 1000);
    const int iSpread = 3 * L;

    const int iUniqueReads = data.ConsumeIntegralInRange(0, MAX_UNIQUE_READS);
    ErrorScoreCounter counter;
    for (int i = 0; i < iUniqueReads; ++i) {
        const int iUniqueLength = data.ConsumeBool() ? L : data.ConsumeIntegralInRange(1, 150);
        c.uniqueReads.push_back(MakeMultiRead(c, data, 1, iUniqueLength, iBase, iSpread));
        counter.Add(c.uniqueReads.back().Reads(0));
    }
    counter.Finish(c.errorScore);
    for (const MultiRead& unique : c.uniqueReads) c.uniques.Add(unique.Reads(0));
    c.uniques.SortByPosition();
    c.multiRead = MakeMultiRead(c, data, iNumAlignments, L, iBase, iSpread);
}

std::string DescribeRead(const Read& r) {
    std::string sText = std::string("  ") + r.chromosome + " " + std::to_string(r.position) + " L=" +
                        std::to_string(r.iLength) + " " + r.strand + " mm";
    for (int i = 0; i < r.MismatchCount(); ++i)
        sText += " " + std::to_string(r.Mismatch(i).position) + ":" +
                 std::to_string(static_cast<unsigned char>(r.Mismatch(i).qualityChar));
    return sText + " qual[0]=" + std::to_string(static_cast<unsigned char>(r.quality[0])) + "\n";
}

// The case in words, printed when an invariant breaks.
std::string DescribeCase(const Case& c) {
    const ModelParameters& p = c.parameters;
    char acRate[32];
    std::snprintf(acRate, sizeof(acRate), "%.17g", p.dPolymorphismRate);
    std::string sText = "L=" + std::to_string(c.iSeqLength) + " F=" + std::to_string(p.iFlankingValue) +
                        " T=" + std::to_string(p.iTotalIterations) + " B=" + std::to_string(p.iBurninIterations) +
                        " rate=" + acRate + " strandness=" + std::to_string(c.bStrandness) + "\nunique reads:\n";
    for (const MultiRead& unique : c.uniqueReads) sText += DescribeRead(unique.Reads(0));
    sText += "multiread:\n";
    for (int j = 0; j < c.multiRead.Size(); ++j) sText += DescribeRead(c.multiRead.Reads(j));
    return sText;
}

struct Scored {
    std::vector<double> vFirst, vSecond;  // probability[0] and [1] of each alignment
    std::string sCallRecords;
};

Scored Score(Case& c, MultiReadScorer& scorer) {
    MultiRead& m = c.multiRead;
    for (int j = 0; j < m.Size(); ++j) m.Reads(j).probability[0] = m.Reads(j).probability[1] = -1.0;
    const EvidenceIndex evidence(c.uniques, c.bStrandness, c.parameters);
    Scored scored;
    scorer.Score(m, evidence, c.errorScore, scored.sCallRecords);
    for (int j = 0; j < m.Size(); ++j) {
        scored.vFirst.push_back(m.Reads(j).probability[0]);
        scored.vSecond.push_back(m.Reads(j).probability[1]);
    }
    FUZZ_CHECK(std::count(scored.sCallRecords.begin(), scored.sCallRecords.end(), '\n') == m.Size());
    return scored;
}

bool IsProbability(double dValue) { return std::isfinite(dValue) && dValue >= 0.0 && dValue <= 1.0 + 1e-12; }

double Sum(const std::vector<double>& vValues) {
    double dSum = 0.0;
    for (double dValue : vValues) dSum += dValue;
    return dSum;
}

// The posterior is the mean over the iterations after burn-in, divided by T + 1 - B (so with B
// below 2 it falls short of 1 by design). Each iteration adds weights that sum to 1, or nothing
// when no alignment has a finite log-likelihood: the sum times the divisor is a whole number of
// iterations, at most the number that count.
bool IsPosteriorSum(double dSum, const ModelParameters& p) {
    const int iCounted = p.iTotalIterations - std::max(1, p.iBurninIterations - 1);
    const double dIterations = dSum * (p.iTotalIterations + 1 - p.iBurninIterations);
    return std::fabs(dIterations - std::round(dIterations)) <= 1e-9 * std::max(1, iCounted) &&
           std::round(dIterations) <= iCounted;
}

void CheckModes(Case& c) {
    const int N = c.multiRead.Size();
    MultiReadScorer both(c.parameters, ProbMode::Both), bayes(c.parameters, ProbMode::Bayes),
        proportional(c.parameters, ProbMode::Proportional);
    const Scored scoredBoth = Score(c, both);
    const Scored scoredBayes = Score(c, bayes);
    const Scored scoredProportional = Score(c, proportional);
    FuzzContext() = DescribeCase(c) + "call records:\n" + scoredBoth.sCallRecords;
    for (int j = 0; j < N; ++j) {
        FUZZ_CHECK(IsProbability(scoredBoth.vFirst[j]) && IsProbability(scoredBoth.vSecond[j]));
        // Each mode computes its values exactly as BOTH does.
        FUZZ_CHECK(std::memcmp(&scoredBayes.vFirst[j], &scoredBoth.vSecond[j], sizeof(double)) == 0);
        FUZZ_CHECK(std::memcmp(&scoredProportional.vFirst[j], &scoredBoth.vFirst[j], sizeof(double)) == 0);
    }
    FUZZ_CHECK(std::fabs(Sum(scoredBoth.vFirst) - 1.0) <= 1e-9);
    FUZZ_CHECK(IsPosteriorSum(Sum(scoredBoth.vSecond), c.parameters));
    // A scorer carries nothing from one multiread to the next.
    const Scored scoredAgain = Score(c, both);
    FUZZ_CHECK(scoredAgain.sCallRecords == scoredBoth.sCallRecords);
    FUZZ_CHECK(std::memcmp(scoredAgain.vSecond.data(), scoredBoth.vSecond.data(), N * sizeof(double)) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    SilenceKorvexOutput();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, std::size_t iSize) {
    FuzzedDataProvider data(pData, iSize);
    Case c;
    BuildCase(data, c);
    CheckModes(c);
    return 0;
}
