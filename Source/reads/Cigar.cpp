#include "Cigar.h"

namespace {

// Where an operation may stand: the clips at the left end, the aligned bases, the clips at the
// right end. Each operation moves the reading forward, never back.
enum Stage { LEFT_HARD, LEFT_SOFT, ALIGNED, RIGHT_SOFT, RIGHT_HARD, OUT_OF_PLACE };

Stage NextStage(Stage stage, char cOperation) {
    switch (cOperation) {
        case 'H': return stage <= LEFT_HARD ? LEFT_HARD : stage >= ALIGNED ? RIGHT_HARD : OUT_OF_PLACE;
        case 'S':
            if (stage <= LEFT_SOFT) return LEFT_SOFT;
            return stage == ALIGNED || stage == RIGHT_SOFT ? RIGHT_SOFT : OUT_OF_PLACE;
        default: return stage <= ALIGNED ? ALIGNED : OUT_OF_PLACE;  // M, =, X and the gaps
    }
}

bool IsOperation(char c) {
    switch (c) {
        case 'M': case 'I': case 'D': case 'N': case 'S': case 'H': case 'P': case '=': case 'X': return true;
        default: return false;
    }
}

CigarShape WithProblem(CigarProblem problem) {
    CigarShape shape;
    shape.problem = problem;
    return shape;
}

}  // namespace

CigarShape ReadCigar(std::string_view cigar, int iSequenceLength) {
    CigarShape shape;
    if (cigar == "*") {
        shape.iAligned = iSequenceLength;
        return shape;
    }
    // Lengths are capped far above any read, so that sums of them cannot overflow.
    const long long CAP = 1000000000LL;
    Stage stage = LEFT_HARD;
    bool bAligned = false, bSpliced = false, bIndel = false, bPadded = false;
    std::size_t i = 0;
    while (i < cigar.size()) {
        long long iLength = 0;
        const std::size_t iDigits = i;
        for (; i < cigar.size() && cigar[i] >= '0' && cigar[i] <= '9'; ++i)
            if (iLength < CAP) iLength = iLength * 10 + (cigar[i] - '0');
        if (i == iDigits || i == cigar.size() || !IsOperation(cigar[i]) || iLength == 0)
            return WithProblem(CigarProblem::Malformed);
        const char cOperation = cigar[i++];
        stage = stage == OUT_OF_PLACE ? OUT_OF_PLACE : NextStage(stage, cOperation);
        bSpliced |= cOperation == 'N';
        bIndel |= cOperation == 'I' || cOperation == 'D';
        bPadded |= cOperation == 'P';
        if (cOperation == 'M' || cOperation == '=' || cOperation == 'X') {
            bAligned = true;
            shape.iAligned += iLength;
        } else if (cOperation == 'H' || cOperation == 'S') {
            (stage == RIGHT_SOFT || stage == RIGHT_HARD ? shape.iRightClip : shape.iLeftClip) += iLength;
            if (cOperation == 'H') shape.iHardClipped += iLength;
        }
    }
    if (cigar.empty()) return WithProblem(CigarProblem::Malformed);
    if (bSpliced) return WithProblem(CigarProblem::Spliced);
    if (bIndel) return WithProblem(CigarProblem::InsertionOrDeletion);
    if (bPadded) return WithProblem(CigarProblem::Padded);
    if (!bAligned || stage == OUT_OF_PLACE) return WithProblem(CigarProblem::Malformed);
    return shape;
}
