#ifndef KORVEX_CIGAR_H
#define KORVEX_CIGAR_H

#include <string_view>

// Why a CIGAR does not describe an ungapped alignment of the read with optional clips at its ends.
enum class CigarProblem {
    None,
    Malformed,            // not a CIGAR, no aligned base, or clips inside the alignment
    InsertionOrDeletion,  // I or D
    Spliced,              // N
    Padded,               // P
};

// What a CIGAR says of an alignment: the bases clipped at each end (hard and soft alike, in SEQ
// orientation) and the aligned bases between them (M, = and X).
struct CigarShape {
    CigarProblem problem = CigarProblem::None;
    long long iLeftClip = 0;
    long long iAligned = 0;
    long long iRightClip = 0;
    long long iHardClipped = 0;  // of the clips, the bases that SEQ lacks (H)

    long long ReadLength() const { return iLeftClip + iAligned + iRightClip; }
};

// Reads a CIGAR field of the form [H][S](M|=|X)...[S][H]. "*" is an alignment without clips of
// iSequenceLength bases. A CIGAR with several problems is judged by the first of: malformed text,
// N, I or D, P, clips out of place.
CigarShape ReadCigar(std::string_view cigar, int iSequenceLength);

#endif
