#ifndef KORVEX_CONFIGFILEREADER_H
#define KORVEX_CONFIGFILEREADER_H

#include <map>
#include <string>
#include <vector>

// A line of the file that holds text but no separator, so no pair: numbered from 1, trimmed,
// without its comment.
struct LineWithoutSeparator {
    int iNumber;
    std::string sText;
};

// A key that a later line sets again to another value, which wins: line numbers from 1.
struct RepeatedKey {
    int iNumber;
    int iEarlierNumber;
    std::string sKey;
    std::string sEarlierValue;
    std::string sValue;
};

// A byte that no configuration line may hold: a control character other than a tab, or a
// carriage return that does not end its line (CR LF). iLine is numbered from 1; 0: none found.
struct ControlCharacter {
    int iLine = 0;
    unsigned char cByte = 0;
};

// Reads a file of name=value lines into a byte-wise ordered table.
class ConfigFileReader {
public:
    explicit ConfigFileReader(const std::string& filename);
    // Parses the file; returns the number of pairs held. A missing file leaves the table as it was.
    std::size_t ReadInputFile();
    // Every pair held, in byte-wise key order.
    const std::map<std::string, std::string>& Pairs() const { return values; }
    // The lines the last ReadInputFile skipped for want of a separator, in file order.
    const std::vector<LineWithoutSeparator>& LinesWithoutSeparator() const { return vWithoutSeparator; }
    // The keys the last ReadInputFile found set again to another value, in file order.
    const std::vector<RepeatedKey>& RepeatedKeys() const { return vRepeated; }
    // The first control character the last ReadInputFile met; a file holding one is no
    // configuration file, and its pairs are not to be trusted.
    const ControlCharacter& FirstControlCharacter() const { return firstControl; }
    // What the file looks like when the last ReadInputFile found sequence data instead of
    // settings ("a SAM file", ...; see ContentSniff.h), else nullptr. Reading stops there.
    const char* LooksLike() const { return pLooksLike; }

private:
    std::string sFilename;
    std::map<std::string, std::string> values;  // key to value text, byte-wise key order; owned here
    char cComment;
    char cLineDelimiter;
    char cSeparator;
    std::vector<LineWithoutSeparator> vWithoutSeparator;
    std::vector<RepeatedKey> vRepeated;
    ControlCharacter firstControl;
    const char* pLooksLike = nullptr;
};

#endif
