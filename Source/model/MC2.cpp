#include "MC2.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "WallClock.h"

// The chain is computed with the same floating-point operations, in the same order, as the
// plain iteration-by-iteration description (kept in tests/LiteralSampler.h and compared bit for
// bit by the tests); what is constant across iterations is prepared once per call:
// - error scores come from a 256-entry table instead of a map lookup per use;
// - the flagged entries of each position are gathered once and grouped by quality character:
//   entries of one character share the ratio (1 - e) theta / p of an iteration, so it is
//   computed once per character and compared with each entry's own uniform;
// - each site points at the constants of its second beta shape n - m + 1, fixed per multiread;
// - a position without covering unique reads never changes theta, so its likelihood term is a
//   constant; the terms before an alignment's first covered position are summed ahead in
//   position order, the later ones are still added one by one in position order, and an
//   alignment without covered positions has a constant weight;
// - each row of theta is updated in place, since a position's chain reads only its own value;
// - the gamma draws decide most accept/reject tests by bounds (GammaBounds.h) instead of pow,
//   log and exp; a draw of a whole shape above 5 that starts in the shared table of uniforms
//   reads where it accepts from that shape's jumps (TangentJumps.h) instead of running its
//   rejection loop; the draws run inline on a local copy of the sampler, which reads the
//   uniforms after one check per round; and a site's likelihood term is added after the next
//   site's draw, so that its log need not wait for theta.

MCMCcalculator::MCMCcalculator(const ModelParameters& model_)
    : model(model_), dScoreTable(), pUniformBlock(new UniformBlock) {}

MCMCcalculator::~MCMCcalculator() {}

// error_score is shared read-only by all threads, so it is only read, never indexed with [].
void MCMCcalculator::FillScoreTable(const std::map<char, double>& error_score) {
    for (double& d : dScoreTable) d = 0.0;
    for (const std::pair<const char, double>& entry : error_score)
        dScoreTable[static_cast<unsigned char>(entry.first)] = entry.second;
}

// A quality text shorter than the read (QUAL "*") has no character at k: score 0.
double MCMCcalculator::QualityScore(std::string_view quality, int k) const {
    if (k >= static_cast<int>(quality.size())) return 0.0;
    return dScoreTable[static_cast<unsigned char>(quality[k])];
}

void MCMCcalculator::PlanAlignment(int j, const AlignmentEvidence& alignment, const double* startDraws) {
    const std::vector<std::vector<MisMatchData>>& evidence = *alignment.pCovering;
    const bool* Z = alignment.pMismatchFlags;
    AlignmentPlan plan;
    plan.iFirstSite = static_cast<int>(vSites.size());
    plan.iFirstConstant = static_cast<int>(vConstantTerms.size());
    plan.dPrefixLogLik = 0;
    plan.dPrior = 0.1 + alignment.iUniqueCount;
    for (int k = 0; k < iReadLength; ++k) {
        const std::vector<MisMatchData>& E = evidence[k];
        double e = QualityScore(alignment.quality, k);
        if (E.empty()) {
            double x = (1 - e) * startDraws[k] + e;
            double dTerm = Z[k] ? std::log(x) : std::log(1 - x);
            if (static_cast<int>(vSites.size()) == plan.iFirstSite) {
                plan.dPrefixLogLik += dTerm;
            } else {
                vConstantTerms.push_back(dTerm);
                vSites.back().iEndConstant = static_cast<int>(vConstantTerms.size());
            }
            continue;
        }
        Site site;
        site.pUnflagged = nullptr;
        site.iColumn = k;
        PlanFlags(E, site);
        site.dOneMinusE = 1 - e;
        site.dE = e;
        site.bMismatch = Z[k];
        site.iEndConstant = static_cast<int>(vConstantTerms.size());
        vSites.push_back(site);
    }
    plan.iEndSite = static_cast<int>(vSites.size());
    plan.dConstantWeight = std::exp(plan.dPrefixLogLik);
    vPlans[j] = plan;
}

// Gathers the flagged entries of a site and groups them by quality character.
void MCMCcalculator::PlanFlags(const std::vector<MisMatchData>& E, Site& site) {
    site.iFirstFlag = static_cast<int>(vFlagGroups.size());
    site.iFirstGroup = static_cast<int>(vGroups.size());
    unsigned char acGroupChars[256];  // the character of each group so far, by group index
    int iGroups = 0;
    for (const MisMatchData& entry : E) {
        if (!entry.bMisMatch) continue;
        const unsigned char c = static_cast<unsigned char>(entry.cQuality);
        int iGroup = 0;
        while (iGroup < iGroups && acGroupChars[iGroup] != c) ++iGroup;
        if (iGroup == iGroups) {
            acGroupChars[iGroups++] = c;
            const double e = dScoreTable[c];
            vGroups.push_back(FlagGroup{1 - e, e});
        }
        vFlagGroups.push_back(static_cast<unsigned char>(iGroup));
    }
    site.iEndFlag = static_cast<int>(vFlagGroups.size());
    site.iEndGroup = static_cast<int>(vGroups.size());
    site.iUnflagged = static_cast<int>(E.size()) - (site.iEndFlag - site.iFirstFlag);
}

// Grows the tables of gamma constants to the largest counts of this multiread's sites, then
// points every site at its second beta shape.
void MCMCcalculator::PrepareGammaShapes() {
    int iMaxFlagged = 0;
    int iMaxUnflagged = 0;
    for (const Site& site : vSites) {
        iMaxFlagged = std::max(iMaxFlagged, site.iEndFlag - site.iFirstFlag);
        iMaxUnflagged = std::max(iMaxUnflagged, site.iUnflagged);
    }
    for (int c = static_cast<int>(vVariantShapes.size()); c <= iMaxFlagged; ++c)
        vVariantShapes.push_back(DistSampler::MakeGammaShape(c + model.dPolymorphismRate));
    for (int u = static_cast<int>(vUnflaggedShapes.size()); u <= iMaxUnflagged; ++u)
        vUnflaggedShapes.push_back(DistSampler::MakeGammaShape(u + 1.0));
    for (Site& site : vSites) site.pUnflagged = &vUnflaggedShapes[site.iUnflagged];
}

// One iteration of alignment j: the Gibbs step at each covered position and, after burn-in,
// the log-likelihood. The draws run on a local copy of the sampler, which the compiler keeps
// in registers; the shared one takes its state back at the end.
double MCMCcalculator::RunAlignment(int j, bool bPost, DistSampler& shared) {
    const AlignmentPlan& plan = vPlans[j];
    double* row = pCurrentDraw + static_cast<std::size_t>(j) * iReadLength;
    const Site* pSites = vSites.data();
    const unsigned char* pFlagGroups = vFlagGroups.data();
    const FlagGroup* pGroups = vGroups.data();
    const DistSampler::GammaShape* pVariantShapes = vVariantShapes.data();
    double* pRatios = vRatios.data();
    DistSampler sampler(shared);  // a local copy stays in registers
    double loglik = plan.dPrefixLogLik;
    int iConstant = plan.iFirstConstant;
    // A site's likelihood term is added after the next site's draw, still in position order:
    // its log then rarely waits for the long chain (pow, log, divisions) that yields theta,
    // and the processor overlaps that chain with the next draw.
    const Site* pLast = nullptr;
    double thetaLast = 0.0;
    auto addLastTerm = [&]() {
        double x = pLast->dOneMinusE * thetaLast + pLast->dE;
        loglik += pLast->bMismatch ? std::log(x) : std::log(1 - x);
        for (; iConstant < pLast->iEndConstant; ++iConstant) loglik += vConstantTerms[iConstant];
    };
    for (int s = plan.iFirstSite; s < plan.iEndSite; ++s) {
        const Site& site = pSites[s];
        // The second draw of the site after next starts about 28 values on.
        if (s + 2 < plan.iEndSite) sampler.PrefetchJump(*pSites[s + 2].pUnflagged, 28);
        double theta = row[site.iColumn];
        int iVariants = 0;
        if (site.iFirstFlag != site.iEndFlag) {
            // The ratio of each quality character once, then each entry against its own uniform.
            for (int g = site.iFirstGroup; g < site.iEndGroup; ++g) {
                double dVariant = pGroups[g].dOneMinusE * theta;
                double p = dVariant + pGroups[g].dE;
                pRatios[g - site.iFirstGroup] = dVariant / p;
            }
            for (int f = site.iFirstFlag; f < site.iEndFlag; ++f)
                iVariants += pRatios[pFlagGroups[f]] > sampler.runif();
        }
        theta = sampler.rbetaWhole(pVariantShapes[iVariants], *site.pUnflagged);
        row[site.iColumn] = theta;
        if (!bPost) continue;
        if (pLast) addLastTerm();
        pLast = &site;
        thetaLast = theta;
    }
    if (pLast) addLastTerm();
    shared = sampler;
    return loglik;
}

// Adds this iteration's posterior. When the weights all underflow, or one is not a number,
// the same posterior is computed with the weights scaled by the largest finite one; an
// iteration without any finite log-likelihood adds nothing.
void MCMCcalculator::AddPosterior(std::vector<double>& prob) {
    const int N = iNumAlignments;
    double S = 0;
    for (int j = 0; j < N; ++j) S = S + vWeight[j] * vPlans[j].dPrior;
    if (!(S > 0) || !std::isfinite(S)) {
        bool bAny = false;
        double dMax = 0;
        for (int j = 0; j < N; ++j) {
            if (!std::isfinite(vLogLik[j])) continue;
            if (!bAny || vLogLik[j] > dMax) dMax = vLogLik[j];
            bAny = true;
        }
        if (!bAny) return;
        S = 0;
        for (int j = 0; j < N; ++j) {
            vWeight[j] = std::isfinite(vLogLik[j]) ? std::exp(vLogLik[j] - dMax) : 0.0;
            S = S + vWeight[j] * vPlans[j].dPrior;
        }
    }
    for (int j = 0; j < N; ++j) prob[j] = prob[j] + vWeight[j] * vPlans[j].dPrior / S;
}

double MCMCcalculator::Run(const std::vector<AlignmentEvidence>& alignments, int L,
                           const std::map<char, double>& error_score, double** draws, std::vector<double>& prob) {
    double dStart = WallClockSeconds();
    const int N = static_cast<int>(alignments.size());
    iNumAlignments = N;
    iReadLength = L;
    DistSampler sampler(UniformTable::Shared(), *pUniformBlock);
    // A caller whose T rows are all one row keeps only the latest values: the chain then runs
    // in that row, with nothing to copy per iteration.
    const bool bOneRow = std::all_of(draws + 1, draws + model.iTotalIterations,
                                     [draws](const double* pRow) { return pRow == draws[0]; });
    if (!bOneRow) vCurrentDraw.resize(static_cast<std::size_t>(N) * L);
    pCurrentDraw = bOneRow ? draws[0] : vCurrentDraw.data();

    FillScoreTable(error_score);
    vSites.clear();
    vFlagGroups.clear();
    vGroups.clear();
    vConstantTerms.clear();
    vPlans.resize(N);
    vWeight.assign(N, 0.0);
    vLogLik.assign(N, 0.0);
    for (int j = 0; j < N; ++j) {
        PlanAlignment(j, alignments[j], draws[0] + j * L);
        if (!bOneRow) std::memcpy(pCurrentDraw + static_cast<std::size_t>(j) * L, draws[0] + j * L, L * sizeof(double));
    }
    PrepareGammaShapes();
    int iMaxGroups = 0;
    for (const Site& site : vSites) iMaxGroups = std::max(iMaxGroups, site.iEndGroup - site.iFirstGroup);
    vRatios.resize(iMaxGroups);

    for (int t = 1; t < model.iTotalIterations; ++t) {
        bool bPost = t > model.iBurninIterations - 2;
        for (int j = 0; j < N; ++j) {
            double loglik = RunAlignment(j, bPost, sampler);
            if (!bPost) continue;
            vLogLik[j] = loglik;
            bool bConstant = vPlans[j].iFirstSite == vPlans[j].iEndSite;
            vWeight[j] = bConstant ? vPlans[j].dConstantWeight : std::exp(loglik);
        }
        if (!bOneRow) std::memcpy(draws[t], pCurrentDraw, static_cast<std::size_t>(N) * L * sizeof(double));
        if (bPost) AddPosterior(prob);
    }
    // With B > T no iteration is past burn-in; the divisor is then 0 or negative and the
    // probabilities stay 0 rather than becoming NaN or -0.
    int iDivisor = model.iTotalIterations + 1 - model.iBurninIterations;
    if (iDivisor > 0)
        for (int j = 0; j < N; ++j) prob[j] = prob[j] / iDivisor;
    return WallClockSeconds() - dStart;
}
