#ifndef KORVEX_SETTINGSTABLE_H
#define KORVEX_SETTINGSTABLE_H

#include <climits>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "RunSettings.h"

// The table of settings: every key once, with its field of RunSettings, what it allows and what
// it means. Parsing, checking, the configuration dump, --help and the manual page (Settings.h,
// ManPage.h) are built from it, and so are the settings that the parts of a divided run record.

// Integer: a whole number in a range; Rate: a number strictly between 0 and 1; Path: the first
// word of the value (an empty value keeps the default); Choice: one of a few words, each
// standing for one value of the key's field.
enum class SettingKind { Integer, Rate, Path, Choice };

// One row of the table. Built by the helpers of SettingsTable.cpp, never field by field.
struct SettingInfo {
    const char* pName;
    SettingKind kind;
    const char* pHelp;
    int RunSettings::*pInteger = nullptr;
    double RunSettings::*pRate = nullptr;
    std::string RunSettings::*pPath = nullptr;
    std::vector<const char*> vWords = {};                  // Choice: the allowed words, in the order --help lists them
    std::function<int(const RunSettings&)> wordInForce = {};  // Choice: the index of the field's word; -1 for none
    std::function<void(RunSettings&, int)> chooseWord = {};   // Choice: sets the field to the value of a word
    int iMin = INT_MIN;                                       // Integer: inclusive range
    int iMax = INT_MAX;
    int RunSettings::*pMaxFrom = nullptr;  // Integer: the upper bound is this other key's value
    const char* pMaxKey = nullptr;         // ... whose name this is
    const char* pDefaultShown = nullptr;   // the default as --help words it, when the initialiser says too little
    const char* pPositional = nullptr;     // "nparts" or "part": the positional argument that sets this key
    bool bRequired = false;
    bool bSharedByParts = false;  // it changes the numbers: the parts of a divided run and their merge must agree
    const char* pShortOption = nullptr;  // "-t": an option that takes the value as the next argument
    const char* pLongOption = nullptr;   // "--threads": the same, or joined with '=' (--threads=4)
    const char* pOptionValue = nullptr;  // what the value is, as --help shows it ("N")
};

// Every key once, in the order the log reports missing keys. A key whose upper bound is another
// key comes after that key.
const std::vector<SettingInfo>& SettingTable();

// The row of a key; nullptr for an unknown key.
const SettingInfo* FindSetting(const std::string& sName);

// The row of a key set by an option ("-t", "--threads"); nullptr when no key is.
const SettingInfo* FindOption(const std::string& sOption);

// The index of sWord among the words of a Choice row; -1 when it is none of them.
int WordIndex(const SettingInfo& info, const std::string& sWord);

// The value of the key's field as the dump and --help show it: a number (a rate as printf's %g),
// a path, or a Choice's word (empty when the field has none, as OUTPUT_FORMAT before the input
// chose it).
std::string ValueText(const SettingInfo& info, const RunSettings& settings);

// The keys marked as shared by the parts, in table order, each with the text of its value in
// force; a rate is written so that it reads back as the same double.
std::vector<std::pair<std::string, std::string>> SettingsSharedByParts(const RunSettings& settings);

#endif
