#ifndef KORVEX_MC2_H
#define KORVEX_MC2_H

#include <map>
#include <memory>
#include <string_view>
#include <vector>

#include "DistSampler.h"
#include "Evidence.h"
#include "ModelParameters.h"

// What the sampler needs to know of one alignment of a multiread.
struct AlignmentEvidence {
    const std::vector<std::vector<MisMatchData>>* pCovering;  // per read position: its covering unique reads
    const bool* pMismatchFlags;  // per read position: whether the alignment has a mismatch there
    std::string_view quality;    // the alignment's quality text; shorter than the read for QUAL "*"
    int iUniqueCount;            // matching unique reads in its window
};

// The MCMC sampler: posterior probability of each alignment of one multiread.
// One object per job and thread; Run is called once per multiread, of any number of alignments
// and any read length. Its tables grow to the largest multiread seen and are reused.
class MCMCcalculator {
public:
    explicit MCMCcalculator(const ModelParameters& model);
    virtual ~MCMCcalculator();
    MCMCcalculator(const MCMCcalculator&) = delete;
    MCMCcalculator& operator=(const MCMCcalculator&) = delete;

    // Runs the chain of one multiread of L bases, one record per alignment (N of them), from the
    // start values in draws[0] (N rows of L values), writing iteration t's values to draws[t]
    // (when every row is draws[0], it holds the last iteration's values at the end);
    // adds the posterior of each alignment to prob (N values). Returns the wall-clock seconds taken.
    double Run(const std::vector<AlignmentEvidence>& alignments, int L, const std::map<char, double>& error_score,
               double** draws, std::vector<double>& prob);

private:
    // A read position with covering unique reads: its theta is redrawn in every iteration.
    struct Site {
        const DistSampler::GammaShape* pUnflagged;  // the second beta shape, n - m + 1
        int iColumn;          // read position k
        int iFirstFlag;       // its flagged entries: vFlagGroups[iFirstFlag, iEndFlag)
        int iEndFlag;
        int iFirstGroup;      // the distinct quality characters of its flagged entries:
        int iEndGroup;        // vGroups[iFirstGroup, iEndGroup)
        int iUnflagged;       // n - m, unique reads without a mismatch here
        int iEndConstant;     // the likelihood terms of the uncovered positions after this one,
                              // up to the next site, end at this index of vConstantTerms
        bool bMismatch;       // Z[j][k]
        double dOneMinusE;    // 1 - e of the alignment's own quality character at k
        double dE;            // e of that character
    };
    // One quality character among the flagged entries of a site: its error score. All its
    // entries share one ratio (1 - e) theta / p per iteration.
    struct FlagGroup {
        double dOneMinusE;
        double dE;
    };
    // What one alignment does in every iteration.
    struct AlignmentPlan {
        int iFirstSite;           // its sites are vSites[iFirstSite, iEndSite)
        int iEndSite;
        int iFirstConstant;       // first term of vConstantTerms after its first site
        double dPrefixLogLik;     // sum, in position order, of the terms before its first site
        double dConstantWeight;   // exp of the whole log-likelihood when it has no site
        double dPrior;            // 0.1 + unique count
    };

    void FillScoreTable(const std::map<char, double>& error_score);
    double QualityScore(std::string_view quality, int k) const;
    void PlanAlignment(int j, const AlignmentEvidence& alignment, const double* startDraws);
    void PlanFlags(const std::vector<MisMatchData>& E, Site& site);
    void PrepareGammaShapes();
    double RunAlignment(int j, bool bPost, DistSampler& sampler);
    void AddPosterior(std::vector<double>& prob);

    ModelParameters model;
    int iNumAlignments = 0;  // of the multiread being run
    int iReadLength = 0;

    // Working tables of one Run, rebuilt at its start and kept to reuse their storage; owned
    // here and touched only by the thread calling Run.
    double dScoreTable[256];                // error score by quality character, 0 where none
    std::vector<Site> vSites;               // the sites of all alignments, alignment by alignment
    std::vector<unsigned char> vFlagGroups; // flagged entries of all sites, site by site, in
                                            // evidence order: the index of each one's group
                                            // among its site's groups
    std::vector<FlagGroup> vGroups;         // the groups of all sites, site by site
    std::vector<double> vRatios;            // a site's ratios of one iteration, group by group
    std::vector<double> vConstantTerms;     // likelihood terms of uncovered positions after a site
    std::vector<double> vCurrentDraw;       // the chain's latest row: N rows of L values
    double* pCurrentDraw = nullptr;         // that row: vCurrentDraw, or the caller's one row
    std::vector<AlignmentPlan> vPlans;      // one per alignment
    std::vector<double> vWeight;            // per alignment, of the current iteration
    std::vector<double> vLogLik;            // per alignment, of the current iteration
    // Gamma constants of the beta shapes, depending only on the count and the rate, so kept
    // across calls and grown when needed: variant count c gives c + rate; unflagged count u
    // gives u + 1. The sites point into vUnflaggedShapes, so it only grows before they are set.
    std::vector<DistSampler::GammaShape> vVariantShapes;
    std::vector<DistSampler::GammaShape> vUnflaggedShapes;
    std::unique_ptr<UniformBlock> pUniformBlock;  // the stream's values after the shared table
};

#endif
