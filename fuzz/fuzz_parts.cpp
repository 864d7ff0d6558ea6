// Fuzz target: the files the parts of a divided run leave for their merge. The input is read as
// a values file (one or two values a line, by the input's size) and as a manifest. A refusal is
// a normal outcome; what is accepted must come back unchanged, bit for bit, when it is written
// and read again, since the merge must give the bytes a whole run gives.

#include <array>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "LineSource.h"
#include "Manifest.h"
#include "ValuesFile.h"

namespace {

std::string InputPath() { return FuzzWorkFile("input.values"); }
std::string CopyPath() { return FuzzWorkFile("copy.values"); }

struct ValueLine {
    int64_t iLine;
    std::array<double, 2> adValues;
};

struct VectorValueSource : LineValueSource {
    explicit VectorValueSource(const std::vector<ValueLine>& vLines_) : vLines(vLines_) {}
    bool Next(int64_t& iLineNumber, double* pdValues) override {
        if (iNext == vLines.size()) return false;
        iLineNumber = vLines[iNext].iLine;
        pdValues[0] = vLines[iNext].adValues[0];
        pdValues[1] = vLines[iNext].adValues[1];
        return ++iNext, true;
    }
    const std::vector<ValueLine>& vLines;
    std::size_t iNext = 0;
};

// Every line of a values file; false when it is refused.
bool ReadValues(const std::string& sPath, int iColumns, std::vector<ValueLine>& vLines) {
    try {
        ValuesFileReader reader(sPath, iColumns);
        ValueLine line{0, {0.0, 0.0}};
        while (reader.Next(line.iLine, line.adValues.data())) vLines.push_back(line);
        return true;
    } catch (const InputError&) {
        return false;
    }
}

void CheckValuesRoundTrip(int iColumns) {
    std::vector<ValueLine> vRead;
    if (!ReadValues(InputPath(), iColumns, vRead)) return;
    for (std::size_t i = 1; i < vRead.size(); ++i) FUZZ_CHECK(vRead[i].iLine > vRead[i - 1].iLine);
    VectorValueSource source(vRead);
    WriteValuesFile(CopyPath(), source, iColumns);
    std::vector<ValueLine> vAgain;
    FUZZ_CHECK(ReadValues(CopyPath(), iColumns, vAgain));
    FUZZ_CHECK(vAgain.size() == vRead.size());
    for (std::size_t i = 0; i < vRead.size(); ++i) {
        FUZZ_CHECK(vAgain[i].iLine == vRead[i].iLine);
        FUZZ_CHECK(std::memcmp(vAgain[i].adValues.data(), vRead[i].adValues.data(), iColumns * sizeof(double)) == 0);
    }
}

void CheckManifestRoundTrip(const std::string& sText) {
    Manifest manifest;
    try {
        manifest = Manifest::Parse(sText, "input.manifest");
    } catch (const std::runtime_error&) {
        return;
    }
    const Manifest again = Manifest::Parse(manifest.Text(), "copy.manifest");
    FUZZ_CHECK(again.Entries() == manifest.Entries());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    SilenceKorvexOutput();
    MakeFuzzWorkDir("parts", {"input.values", "copy.values"});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, std::size_t iSize) {
    WriteFuzzInput(InputPath(), pData, iSize);
    CheckValuesRoundTrip(1 + static_cast<int>(iSize % 2));
    CheckManifestRoundTrip(std::string(reinterpret_cast<const char*>(pData), iSize));
    return 0;
}
