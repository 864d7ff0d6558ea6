// Fuzz target: the files the parts of a divided run leave for their merge. The input is read as
// a values file (one or two values a line, by the input's size) and as a manifest. A refusal is
// a normal outcome; what is accepted must come back unchanged, bit for bit, when it is written
// and read again, since the merge must give the bytes a whole run gives.

#include <array>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>

#include "FuzzSupport.h"
#include "LineSource.h"
#include "Manifest.h"
#include "MapValueSource.h"
#include "ValuesFile.h"

namespace {

std::string InputPath() { return FuzzWorkFile("input.values"); }
std::string CopyPath() { return FuzzWorkFile("copy.values"); }

// Every line of a values file; false when it is refused. Its line numbers must rise, so each
// is a key of its own.
bool ReadValues(const std::string& sPath, int iColumns, ValueMap& values) {
    try {
        ValuesFileReader reader(sPath, iColumns);
        int64_t iLine = 0;
        std::array<double, 2> adValues = {0.0, 0.0};
        int64_t iPrevious = 0;
        while (reader.Next(iLine, adValues.data())) {
            FUZZ_CHECK(values.empty() || iLine > iPrevious);
            values[iPrevious = iLine] = adValues;
        }
        return true;
    } catch (const InputError&) {
        return false;
    }
}

void CheckValuesRoundTrip(int iColumns) {
    ValueMap read;
    if (!ReadValues(InputPath(), iColumns, read)) return;
    MapValueSource source(read);
    WriteValuesFile(CopyPath(), source, iColumns);
    ValueMap again;
    FUZZ_CHECK(ReadValues(CopyPath(), iColumns, again));
    FUZZ_CHECK(again.size() == read.size());
    for (auto itRead = read.begin(), itAgain = again.begin(); itRead != read.end(); ++itRead, ++itAgain) {
        FUZZ_CHECK(itAgain->first == itRead->first);
        FUZZ_CHECK(std::memcmp(itAgain->second.data(), itRead->second.data(), iColumns * sizeof(double)) == 0);
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
