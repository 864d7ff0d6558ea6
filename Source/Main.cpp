// The entry point: the command line, the run parameters and the log, then the pipeline.
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>

#include "ConfigFileReader.h"
#include "Korvex.h"
#include "Logger.h"
#include "utils.h"

namespace {

// Every run parameter with its default; the command line and the configuration file
// replace them, the file winning over the command line.
struct RunParameters {
    std::string sLogFilename = "Logger.out";
    int maxMismatchesForTopHits = 2;
    int extraMismatchesForAdditionalHits = 2;
    int iFlankingValue = 0;
    std::string sStrandnessOption;  // no default: must be "ON" or "OFF"
    bool strandness = false;
    std::string probOutput = "BOTH";
    int nparts = 1;
    int part = 1;
    int iNumThreads = 1;
    std::string sMapFileName;
    double dPolymorphismRate = 0.1;
    int iTotalIterations = 1000;
    int iBurninIterations = 200;
};

// No InputFilename: banner, error and usage on standard error, then wait for one character.
int RefuseMissingArgument(const std::ostringstream& banner) {
    std::cerr << banner.str();
    std::cerr << PROGRAM_NAME << ": " << "invalid number of program arguments." << std::endl;
    usage(PROGRAM_NAME, std::cerr);
    std::cout << std::endl << "\n\n" << "Waiting for a character and <cr>: ";
    char cAnswer;
    std::cin >> cAnswer;
    return 1;
}

// Looks key up into value; a missing key is logged and leaves the default in place.
template <class T>
void LookUp(ConfigFileReader& config, const char* key, T& value, std::ostringstream& message) {
    if (config.GetValue(key, value)) return;
    message << "main" << ": failed to find " << key << " in Input file (" << config.Filename() << ")" << std::endl;
    GetLogger()->Write(message, true);
}

// The first run parameter outside the range the pipeline can work with, as
// "<condition> is false (<values>)"; empty when all are valid. A part below 1 would give
// negative job ranges, and a chain of fewer than two iterations or a burn-in outside the
// chain would make the sampler divide by zero or give negative probabilities.
std::string FirstInvalidRunParameter(const RunParameters& p) {
    std::ostringstream values;
    const char* sCondition = nullptr;
    if (!(p.nparts > 0)) {
        sCondition = "nparts > 0";
        values << "nparts = " << p.nparts;
    } else if (!(p.part > 0)) {
        sCondition = "part > 0";
        values << "part = " << p.part;
    } else if (!(p.part <= p.nparts)) {
        sCondition = "part <= nparts";
        values << "part = " << p.part << ", nparts = " << p.nparts;
    } else if (!(p.iNumThreads > 0 && p.iNumThreads < 8)) {
        sCondition = "iNumThreads > 0 && iNumThreads < 8";
        values << "iNumThreads = " << p.iNumThreads;
    } else if (!(p.iTotalIterations > 1)) {
        sCondition = "iTotalIterations > 1";
        values << "iTotalIterations = " << p.iTotalIterations;
    } else if (!(p.iBurninIterations >= 0 && p.iBurninIterations <= p.iTotalIterations)) {
        sCondition = "iBurninIterations >= 0 && iBurninIterations <= iTotalIterations";
        values << "iBurninIterations = " << p.iBurninIterations << ", iTotalIterations = " << p.iTotalIterations;
    }
    if (sCondition == nullptr) return std::string();
    return std::string(sCondition) + " is false (" + values.str() + ")";
}

// Settles every run parameter from the command line and the configuration file, creates
// the log (whose first record is the banner waiting in message) and validates the values.
// False when the run is refused; the reason is then in the log.
bool SettleRunParameters(int argc, char** argv, ConfigFileReader& config, RunParameters& params,
                         std::ostringstream& message) {
    if (argc != 2) params.nparts = std::atoi(argv[2]);
    if (argc >= 4) params.part = std::atoi(argv[3]);

    if (!config.GetValue("LOG_FILENAME", params.sLogFilename))
        std::cout << "main" << ": failed to find " << "LOG_FILENAME" << " in Input file (" << argv[1]
                  << "), using default name (" << "Logger.out" << ")." << std::endl;
    Logger* pLogger = GetLogger();
    pLogger->CreateOutFile(params.sLogFilename);
    pLogger->Write(message, true);

    LookUp(config, "MAX_NUM_MISMATCHES_FOR_TOP_HITS", params.maxMismatchesForTopHits, message);
    LookUp(config, "EXTRA_NUM_MISMATCHES_FOR_ADDITIONAL_HITS", params.extraMismatchesForAdditionalHits, message);
    LookUp(config, "SEQ_FLANKING_VALUE", params.iFlankingValue, message);
    LookUp(config, "STRANDNESS_OPTION", params.sStrandnessOption, message);
    if (params.sStrandnessOption == "OFF") {
        params.strandness = false;
    } else if (params.sStrandnessOption == "ON") {
        params.strandness = true;
    } else {
        message << "main" << ": Invalid value of STRANDNESS_OPTION: " << params.sStrandnessOption << ". Exit program."
                << std::endl;
        pLogger->Write(message, true);
        return false;
    }
    LookUp(config, "PROB_OUTPUT", params.probOutput, message);
    LookUp(config, "NUM_PARTS", params.nparts, message);
    LookUp(config, "PART_TO_RUN", params.part, message);
    LookUp(config, "NUM_THREADS", params.iNumThreads, message);
    LookUp(config, "MAP_FILENAME", params.sMapFileName, message);
    LookUp(config, "POLYMORPHISM_RATE", params.dPolymorphismRate, message);
    LookUp(config, "TOTAL_ITERATIONS", params.iTotalIterations, message);
    LookUp(config, "BURNIN_ITERATIONS", params.iBurninIterations, message);

    std::string sInvalid = FirstInvalidRunParameter(params);
    if (sInvalid.empty()) return true;
    message << "main" << ": invalid run parameters: " << sInvalid << "." << std::endl;
    pLogger->Write(message, true);
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    double t0 = WallClockSeconds();
    std::ostringstream message;  // main's message buffer; every successful Write empties it
    message << std::endl << PROGRAM_NAME << " -- probabilities of the alignments of multireads" << std::endl << std::endl;

    if (argc < 2) return RefuseMissingArgument(message);

    Logger* pLogger = GetLogger();
    int iExitStatus = 0;
    try {
        ConfigFileReader config(argv[1]);  // lives until the parameters are handed over
        config.ReadInputFile();
        RunParameters params;
        if (!SettleRunParameters(argc, argv, config, params, message)) return 1;

        message << "Contents of the configuration file (" << config.Filename() << "): " << std::endl
                << config.ToString() << std::endl;
        pLogger->Write(message, true);

        process2(params.nparts, params.part, params.sMapFileName, params.iNumThreads, params.dPolymorphismRate,
                 params.iTotalIterations, params.iBurninIterations, params.maxMismatchesForTopHits,
                 params.extraMismatchesForAdditionalHits, params.iFlankingValue, params.probOutput,
                 params.strandness);
    } catch (const std::exception& e) {
        message << PROGRAM_NAME << ": " << e.what() << std::endl;
        pLogger->Write(message, true, LogLevel::Error);
        iExitStatus = 1;
    } catch (...) {
        message << PROGRAM_NAME << ": " << "unhandled exception" << std::endl;
        pLogger->Write(message, true, LogLevel::Error);
        iExitStatus = 1;
    }

    double dSeconds = WallClockSeconds() - t0;
    message << std::endl
            << "main" << ": Time taken = " << dSeconds << " secs  (" << dSeconds / 3600.0 << " hrs)" << std::endl;
    pLogger->Write(message, true);
    return iExitStatus;
}
