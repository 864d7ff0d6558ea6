#ifndef KORVEX_MANIFEST_H
#define KORVEX_MANIFEST_H

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// What a part of a divided run leaves beside its output: which input it read, with which
// settings, and what it computed. A text file of "KEY<TAB>VALUE" lines in a fixed order after a
// first line "korvex-manifest 1"; the merge of the parts reads them back.
class Manifest {
public:
    void Set(const std::string& sKey, const std::string& sValue);
    void Set(const std::string& sKey, int64_t iValue) { Set(sKey, std::to_string(iValue)); }
    // The value of a key, or nullptr when the manifest has none.
    const std::string* Find(const std::string& sKey) const;
    const std::vector<std::pair<std::string, std::string>>& Entries() const { return vEntries; }

    std::string Text() const;
    // Reads a manifest's text; throws std::runtime_error naming sFileName and the line when it is not one.
    static Manifest Parse(const std::string& sText, const std::string& sFileName);

private:
    std::vector<std::pair<std::string, std::string>> vEntries;  // in the order set
};

// The identity of an input file: its size, its modification time and a checksum of its header
// lines and of its first and last megabyte, so that the parts of a run and their merge can tell
// whether they read the same file.
struct InputIdentity {
    int64_t iSize = 0;
    std::string sModified;  // seconds.nanoseconds since the epoch
    std::string sChecksum;  // 16 hexadecimal digits
};

// Throws std::runtime_error naming the file when it cannot be read.
InputIdentity IdentifyInput(const std::string& sPath, const std::string& sHeaderText);

// Adds the identity's entries ("input_size", "input_modified", "input_checksum").
void AddIdentity(Manifest& manifest, const InputIdentity& identity);

#endif
