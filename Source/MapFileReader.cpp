#include "MapFileReader.h"

#include <sys/stat.h>

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <sstream>
#include <string_view>

#include "StringUtils.h"

namespace {

// The read length of the run; written once while the file is opened, read by all threads later.
int g_iSequenceLength = 0;

const int MAX_MISMATCHES = 3;
const int QUALITY_FIELD_WIDTH = 121;
const int SEQUENCE_FIELD = 9;
const int QUALITY_FIELD = 10;
const int FIRST_TAG_FIELD = 11;

// Why a path cannot be opened as a SAM file, or empty when it looks openable.
// A directory opens "successfully" as a stream on POSIX systems, so it is caught here.
std::string UnopenableReason(const std::string& sPath) {
    if (sPath.empty()) return "no file name was given (MAP_FILENAME is empty)";
    struct stat status;
    if (stat(sPath.c_str(), &status) != 0) return std::strerror(errno);
    if (S_ISDIR(status.st_mode)) return "it is a directory";
    return std::string();
}

// Copies at most FieldSize-1 characters of a NUL-terminated text and NUL-fills the rest
// of the field, so the copy is always terminated (strncpy, then NUL in the last byte).
template <std::size_t FieldSize>
void CopyTerminated(char (&dest)[FieldSize], const char* source) {
    std::size_t iLength = strnlen(source, FieldSize - 1);
    std::memcpy(dest, source, iLength);
    std::memset(dest + iLength, 0, FieldSize - iLength);
}

// Copies at most FieldSize characters and NUL-fills the rest; a source that fills the
// field is stored without a terminator (strncpy semantics).
template <std::size_t FieldSize>
void CopyFilled(char (&dest)[FieldSize], const char* source) {
    std::size_t iLength = strnlen(source, FieldSize);
    std::memcpy(dest, source, iLength);
    std::memset(dest + iLength, 0, FieldSize - iLength);
}

// atoi of a field; fields of at most nine plain digits are converted without the library call.
int FieldToInt(const char* pField, std::size_t iLength) {
    if (iLength == 0 || iLength > 9) return std::atoi(pField);
    int iValue = 0;
    for (std::size_t i = 0; i < iLength; ++i) {
        unsigned int iDigit = static_cast<unsigned int>(pField[i] - '0');
        if (iDigit > 9) return std::atoi(pField);
        iValue = iValue * 10 + static_cast<int>(iDigit);
    }
    return iValue;
}

bool IsBase(char c) { return c == 'A' || c == 'T' || c == 'C' || c == 'G'; }

bool IsCSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// The count at the start of one MD piece, read as atoi reads it (leading white space,
// a sign, digits up to the first other character). Counts are capped far above any
// read length, so sums of them cannot overflow. bNegative is set for a '-' before digits.
long long ReadMdCount(std::string_view piece, bool& bNegative) {
    const long long CAP = 1000000000LL;
    std::size_t i = 0;
    while (i < piece.size() && IsCSpace(piece[i])) ++i;
    bool bMinus = false;
    if (i < piece.size() && (piece[i] == '+' || piece[i] == '-')) bMinus = (piece[i++] == '-');
    long long iValue = 0;
    bool bDigits = false;
    for (; i < piece.size() && piece[i] >= '0' && piece[i] <= '9'; ++i) {
        bDigits = true;
        if (iValue < CAP) iValue = iValue * 10 + (piece[i] - '0');
    }
    bNegative = bMinus && bDigits;
    return bMinus ? -iValue : iValue;
}

}  // namespace

int GetSequenceLength() { return g_iSequenceLength; }

MapFileReader::MapFileReader() : currentLineNumber(0), delimiter('\n') {
    sLine.reserve(200);
    vFields.reserve(32);
}

bool MapFileReader::SetFileName(const std::string& name) {
    fileName = name;
    return true;
}

bool MapFileReader::OpenFile() {
    if (inputStream.is_open()) inputStream.close();
    inputStream.clear();
    currentLineNumber = 0;
    sStreamError = UnopenableReason(fileName);
    if (sStreamError.empty()) {
        errno = 0;
        inputStream.open(fileName.c_str(), std::ios::in);
        if (!inputStream.is_open()) sStreamError = errno ? std::strerror(errno) : "it could not be opened";
    }
    if (!sStreamError.empty()) {
        inputStream.setstate(std::ios::failbit);
        return false;
    }
    inputStream.clear();
    return TestStreamFlags() == 0;
}

void MapFileReader::CloseFile() {
    if (inputStream.is_open()) inputStream.close();
}

int MapFileReader::TestStreamFlags(std::basic_ios<char>& s) {
    if (s.bad()) return 1;
    if (s.rdstate() & std::ios::failbit) return static_cast<int>(std::ios::failbit);
    if (s.rdstate() & std::ios::eofbit) return static_cast<int>(std::ios::eofbit);
    return 0;
}

int MapFileReader::TestStreamFlags() { return TestStreamFlags(inputStream); }

void MapFileReader::TrimSpaces(std::string& s) {
    std::size_t iLast = s.find_last_not_of(" \t");
    if (iLast == std::string::npos) {
        s.clear();
        return;
    }
    s.erase(iLast + 1);
    s.erase(0, s.find_first_not_of(" \t"));
}

// Takes the next line into sLine; false when an input/output error stopped the stream,
// which is remembered so that a cut-short file is not taken for a complete one.
bool MapFileReader::ReadNextLine() {
    std::getline(inputStream, sLine, delimiter);
    if (!inputStream.bad()) return true;
    std::ostringstream reason;
    reason << "an input/output error stopped the reading after line " << currentLineNumber;
    sStreamError = reason.str();
    sLine.clear();
    return false;
}

// Splits sLine at tabs without allocating: every tab becomes a NUL, so each field is a
// C string in place, and only non-empty fields are listed (as Split does).
int MapFileReader::SplitLineInPlace() {
    vFields.clear();
    char* pBegin = &sLine[0];
    char* pEnd = pBegin + sLine.size();
    char* pField = pBegin;
    while (true) {
        char* pTab = static_cast<char*>(std::memchr(pField, '\t', static_cast<std::size_t>(pEnd - pField)));
        char* pFieldEnd = pTab ? pTab : pEnd;
        if (pFieldEnd > pField)
            vFields.push_back(FieldSpan{static_cast<std::size_t>(pField - pBegin),
                                        static_cast<std::size_t>(pFieldEnd - pField)});
        if (!pTab) break;
        *pTab = '\0';
        pField = pTab + 1;
    }
    return static_cast<int>(vFields.size());
}

bool MapFileReader::GetSequenceLenFromSAMFile(std::string& errorMessage) {
    errorMessage.clear();
    bool bFound = false;
    while (!bFound && TestStreamFlags() == 0) {
        if (!ReadNextLine()) break;
        TrimSpaces(sLine);
        if (sLine.empty() || sLine[0] == '@') continue;
        bFound = SplitLineInPlace() > 10;
    }
    if (!bFound) {
        errorMessage = "GetSequenceLenFromSAMFile: Couldn't open and read a valid Sequence line from the map file, (" +
                       fileName + ").";
        return false;
    }
    std::size_t iLength = FieldLength(SEQUENCE_FIELD);
    if (iLength == 0 || iLength >= 1000) {
        errorMessage = "GetSequenceLenFromSAMFile: The Sequence Length value read from the file (" +
                       std::to_string(iLength) + "), was not within the expected (0,1000) range.";
        return false;
    }
    g_iSequenceLength = static_cast<int>(iLength);
    return true;
}

bool MapFileReader::GetSequenceLenFromFile(std::string& errorMessage) {
    errorMessage.clear();
    if (TestStreamFlags() != 0) {
        errorMessage = "GetSequenceLenFromFile: Couldn't open and read the map file, (" + fileName + ").";
        return false;
    }
    ReadNextLine();
    TrimSpaces(sLine);
    if (sLine.empty()) {
        errorMessage = "GetSequenceLenFromFile: Blank line found in file.";
        return false;
    }
    std::string sRest;
    if (GetNextToken(sLine, "length=", sRest).empty()) {
        errorMessage = "GetSequenceLenFromFile: Couldn't find 'length=' in the file (first line).";
        return false;
    }
    int iValue = 0;
    std::istringstream(sRest) >> iValue;
    if (iValue < 1 || iValue > 999) {
        errorMessage = "GetSequenceLenFromFile: The Sequence Length value read from the file (" +
                       std::to_string(iValue) + "), was not within the expected (0,1000) range.";
        return false;
    }
    g_iSequenceLength = iValue;
    return true;
}

// The FLAG, strand and sequence tests of one split alignment line with enough fields.
bool MapFileReader::IsAcceptedAlignment(char& strand) const {
    strand = '+';
    if (FieldLength(1) == 1 && Field(1)[0] == '*') return false;
    int iFlag = FieldToInt(Field(1), FieldLength(1));
    if (iFlag & 16)
        strand = '-';  // reverse strand counts as mapped whatever bit 4 says
    else if (iFlag & 4)
        return false;
    if (FieldLength(SEQUENCE_FIELD) != static_cast<std::size_t>(g_iSequenceLength)) return false;
    const char* pSequence = Field(SEQUENCE_FIELD);
    for (std::size_t i = 0; i < FieldLength(SEQUENCE_FIELD); ++i)
        if (!IsBase(pSequence[i])) return false;
    return true;
}

void MapFileReader::StoreRead(Read& read, char strand) const {
    CopyTerminated(read.readID, Field(0));      // QNAME
    CopyTerminated(read.chromosome, Field(2));  // RNAME
    read.position = FieldToInt(Field(3), FieldLength(3));  // POS
    read.lineNumber = currentLineNumber;
    CopyFilled(read.quality, Field(QUALITY_FIELD));  // QUAL
    read.strand = strand;
}

// The first tag that contains "MD:Z", or an empty text when the line has none.
const std::string& MapFileReader::FindMismatchField() {
    sMdField.clear();
    for (int i = FIRST_TAG_FIELD; i < static_cast<int>(vFields.size()); ++i) {
        std::string_view field(Field(i), FieldLength(i));
        if (field.find("MD:Z") != std::string_view::npos) {
            sMdField.assign(field.data(), field.size());
            break;
        }
    }
    return sMdField;
}

bool MapFileReader::Read_a_Line(Read& read, int& rejectedCount) {
    while (TestStreamFlags() == 0) {
        if (!ReadNextLine()) return false;
        ++currentLineNumber;
        TrimSpaces(sLine);
        if (sLine.empty() || sLine[0] == '@') continue;
        char strand = '+';
        if (SplitLineInPlace() <= 10 || !IsAcceptedAlignment(strand)) {
            ++rejectedCount;
            continue;
        }
        StoreRead(read, strand);
        ParseMismatchString(read, strand, FindMismatchField());
        return true;
    }
    return false;
}

int MapFileReader::ParseMismatchString(Read& read, const char& strand, const std::string& mdField) {
    static const ReadMismatch mm;
    for (ReadMismatch& entry : read.vMismatches) entry = mm;
    if (mdField.empty()) return 0;
    if (mdField.size() < 5) {
        std::cout << "ParseMismatchString: for Read of line number: " << read.lineNumber
                  << " in SAM file: Warning: the mismatch field " << mdField
                  << " is too short to hold a mismatch string; no mismatches are taken from it." << std::endl;
        return -1;
    }
    std::string_view tag(mdField);
    tag.remove_prefix(5);  // "MD:Z:", dropped by position
    const int L = g_iSequenceLength;

    char acLength[16];
    std::to_chars_result lengthEnd = std::to_chars(acLength, acLength + sizeof(acLength), L);
    if (tag == std::string_view(acLength, static_cast<std::size_t>(lengthEnd.ptr - acLength))) return 0;

    // Cut the tag at A, T, C and G; the pieces between them are the match counts.
    long long aiCounts[MAX_MISMATCHES + 1] = {0, 0, 0, 0};
    long long iTotalLength = 0;
    int K = 0;
    bool bNegative = false;
    std::size_t iPieceStart = 0;
    for (std::size_t i = 0; i <= tag.size(); ++i) {
        bool bEnd = (i == tag.size());
        if (!bEnd && !IsBase(tag[i])) continue;
        bool bPieceNegative = false;
        long long iCount = ReadMdCount(tag.substr(iPieceStart, i - iPieceStart), bPieceNegative);
        bNegative = bNegative || bPieceNegative;
        if (K <= MAX_MISMATCHES) aiCounts[K] = iCount;
        iTotalLength += iCount;
        if (!bEnd) ++K;
        iPieceStart = i + 1;
    }
    iTotalLength += K;

    // A negative count would move the offsets backwards (duplicates, or before the read).
    if (bNegative) {
        std::cout << "ParseMismatchString: for Read of line number: " << read.lineNumber
                  << " in SAM file: Warning: the mismatch string " << mdField
                  << " holds a negative count; no mismatches are taken from it." << std::endl;
        return -1;
    }
    if (iTotalLength != L) {
        std::cout << "ParseMismatchString: for Read of line number: " << read.lineNumber
                  << " in SAM file: Warning: the length found in the mismatch string " << mdField << " ("
                  << iTotalLength << " ), is not equal to the Sequence Length (" << L << ")." << std::endl;
        return -1;
    }
    if (K > MAX_MISMATCHES) {
        std::cout << "ParseMismatchString: Warning: The current number of mismatches is: (" << K
                  << "), which exceeds the designated maximum number (" << MAX_MISMATCHES
                  << ") of mismatches allowed." << std::endl;
        std::cout << "ParseMismatchString: No information will be extracted from this entry. Returning -1."
                  << std::endl;
        return -1;
    }
    if (strand != '+' && strand != '-') {
        std::cout << "ParseMismatchString: Function input error.  Strand can only be '+' or '-'. current strand: ("
                  << strand << ")." << std::endl;
        return -1;
    }
    if (K == 0) return 0;

    // p is the 1-based offset of mismatch i; only offsets inside both the read and the
    // quality field are stored, so quality[p-1] never leaves the field.
    long long p = 0;
    for (int i = 0; i < K; ++i) {
        p += aiCounts[i] + 1;
        if (p >= 1 && p <= QUALITY_FIELD_WIDTH && p <= L) {
            read.vMismatches[i] = ReadMismatch(static_cast<int16_t>(p - 1), read.quality[p - 1]);
        } else {
            std::cout << "ParseMismatchString: warning: mismatch position (" << p
                      << "), exceeds the range of Sequence Length (0-" << L << "); it will be ignored. "
                      << std::endl;
            std::cout << "ParseMismatchString: now proceeding to next item in the mismatch list." << std::endl;
        }
    }
    return K;
}
