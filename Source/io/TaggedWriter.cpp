#include "TaggedWriter.h"

#include <htslib/hfile.h>
#include <htslib/sam.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "AtomicFile.h"
#include "InputFile.h"
#include "LineSources.h"
#include "RecordLines.h"
#include "SamTextRecords.h"
#include "Version.h"

namespace {

const char* const PROGRAM_ID = "korvex";
const char POSTERIOR_TAG[2] = {'Z', 'P'};
const char UNIQUE_SHARE_TAG[2] = {'Z', 'U'};

// The tagged output of htslib on an AtomicFile's temporary file; records go through Write.
class TaggedWriter {
public:
    TaggedWriter(const OutputTarget& output, AtomicFile& file_) : file(file_), mode(output.mode), pFile(nullptr) {
        const char* pMode = output.format == OutputFormat::Sam ? "w" : output.format == OutputFormat::Bam ? "wb" : "wc";
        // Through the file's own descriptor, so that a read-only mode for the final file does not
        // stop the writing, and under the target's name, which CRAM stores in its file id: the
        // same run then gives the same bytes.
        hFILE* pStream = hdopen(file.DuplicateDescriptor(), "w");
        if (pStream == nullptr) throw OutputError(Describe() + " cannot be opened for writing");
        pFile = hts_hopen(pStream, file.Target().c_str(), pMode);
        if (pFile == nullptr) {
            hclose_abruptly(pStream);
            throw OutputError(Describe() + " cannot be opened for writing");
        }
        if (output.format == OutputFormat::Cram) UseReference(output.sReference);
        // The threaded CRAM encoder may choose other codecs from run to run; on one thread the
        // same run gives the same bytes.
        if (output.iThreads > 1 && output.format != OutputFormat::Cram) hts_set_threads(pFile, output.iThreads);
    }
    ~TaggedWriter() {
        if (pFile != nullptr) hts_close(pFile);
    }
    TaggedWriter(const TaggedWriter&) = delete;
    TaggedWriter& operator=(const TaggedWriter&) = delete;

    // Writes the input's header with this program's @PG line added; the header is kept for
    // the records.
    void WriteHeader(sam_hdr_t* pHeader, const std::string& sCommandLine) {
        if (sam_hdr_add_pg(pHeader, PROGRAM_ID, "PN", PROGRAM_ID, "VN", PROGRAM_VERSION, "CL", sCommandLine.c_str(),
                           static_cast<char*>(nullptr)) != 0)
            throw OutputError(Describe() + " cannot be written (its header)");
        errno = 0;
        if (sam_hdr_write(pFile, pHeader) != 0) throw WriteFailed(" (its header)");
        pOutHeader = pHeader;
    }

    // Writes the record with the tags of its values (nullptr: none). Tags of these names that
    // the record brought from an earlier run are replaced or removed.
    void Write(bam1_t* pRecord, const double* pdValues) {
        double dPosterior = std::numeric_limits<double>::quiet_NaN(), dUniqueShare = dPosterior;
        if (pdValues != nullptr) {
            if (mode == ProbMode::Both) {
                dUniqueShare = pdValues[0];
                dPosterior = pdValues[1];
            } else if (mode == ProbMode::Bayes) {
                dPosterior = pdValues[0];
            } else {
                dUniqueShare = pdValues[0];
            }
        }
        SetTag(pRecord, POSTERIOR_TAG, dPosterior);
        SetTag(pRecord, UNIQUE_SHARE_TAG, dUniqueShare);
        errno = 0;
        if (sam_write1(pFile, pOutHeader, pRecord) < 0) throw WriteFailed("");
    }

    // Closes the htslib file with its checks; the AtomicFile is then ready for Commit.
    void Close() {
        errno = 0;
        int iResult = hts_close(pFile);
        pFile = nullptr;
        if (iResult != 0) throw WriteFailed(" (closing it failed)");
    }

private:
    std::string Describe() const { return "the output file (" + file.Target() + ")"; }

    // A failed write, with the system's reason (a full disk, a quota) when htslib left one in
    // errno, which the caller cleared before the call.
    OutputError WriteFailed(const std::string& sWhere) const {
        const int iErrno = errno;
        return OutputError(Describe() + " cannot be written" + sWhere +
                           (iErrno != 0 ? std::string(": ") + std::strerror(iErrno) : std::string()));
    }

    // CRAM output is compressed against the reference given; without one the sequences are
    // stored whole, so that the file never depends on a reference that may not be found.
    void UseReference(const std::string& sReference) {
        int iResult = sReference.empty() ? hts_set_opt(pFile, CRAM_OPT_NO_REF, 1)
                                         : hts_set_fai_filename(pFile, sReference.c_str());
        if (iResult != 0) throw OutputError(Describe() + ": the reference (" + sReference + ") cannot be used");
    }

    // A tag of this name that the record brings is updated in place when it holds a float, and
    // removed when it holds another type (another tool's) or the record gets no value.
    void SetTag(bam1_t* pRecord, const char acTag[2], double dValue) {
        uint8_t* pExisting = bam_aux_get(pRecord, acTag);
        if (pExisting != nullptr && (std::isnan(dValue) || *pExisting != 'f')) bam_aux_del(pRecord, pExisting);
        if (std::isnan(dValue)) return;
        if (bam_aux_update_float(pRecord, acTag, static_cast<float>(dValue)) != 0)
            throw OutputError(Describe() + ": a record's tag cannot be set");
    }

    AtomicFile& file;
    ProbMode mode;
    htsFile* pFile;                  // owned; closed by Close or the destructor
    sam_hdr_t* pOutHeader = nullptr;  // owned by the caller
};

struct RecordHolder {
    bam1_t* p = bam_init1();
    ~RecordHolder() { bam_destroy1(p); }
};

struct HeaderHolder {
    sam_hdr_t* p = nullptr;
    ~HeaderHolder() { sam_hdr_destroy(p); }
};

ContentChecksum WriteTaggedFromRecords(const InputFile& input, const InputOptions& inOptions,
                                       const OutputTarget& output, ValueCursor& cursor, const EarlierReading& earlier) {
    HtsRecordReader reader(input, inOptions);
    AtomicFile out(output.sPath, &input);
    TaggedWriter writer(output, out);
    HeaderHolder header;
    header.p = sam_hdr_dup(reader.Header());
    if (header.p == nullptr) throw OutputError("the output file (" + output.sPath + "): the header cannot be copied");
    const int64_t iHeaderLines = CountHeaderLines(reader.Header());
    writer.WriteHeader(header.p, output.sCommandLine);
    RecordHolder record;
    while (reader.Next(record.p)) writer.Write(record.p, cursor.At(iHeaderLines + reader.RecordsRead()));
    writer.Close();
    CheckSecondReading(input, iHeaderLines + reader.RecordsRead(), reader.Checksum(), earlier, cursor);
    const ContentChecksum written = out.Checksum();
    out.Commit();
    return written;
}

ContentChecksum WriteTaggedFromText(const InputFile& input, const InputOptions& inOptions, const OutputTarget& output,
                                    ValueCursor& cursor, const EarlierReading& earlier) {
    SamTextRecords records(input, inOptions);
    AtomicFile out(output.sPath, &input);
    TaggedWriter writer(output, out);
    RecordHolder record;
    int64_t iLine = 0;
    bool bHeaderWritten = false;
    auto writeHeader = [&]() {
        if (bHeaderWritten) return;
        writer.WriteHeader(records.Header(), output.sCommandLine);
        bHeaderWritten = true;
    };
    while (records.Next(record.p, iLine)) {
        writeHeader();
        writer.Write(record.p, cursor.At(iLine));
    }
    writeHeader();
    writer.Close();
    CheckSecondReading(input, records.LinesRead(), records.Checksum(), earlier, cursor);
    const ContentChecksum written = out.Checksum();
    out.Commit();
    return written;
}

}  // namespace

ContentChecksum WriteTagged(const InputFile& input, const InputOptions& inOptions, const OutputTarget& output,
                            LineValueSource& values, const EarlierReading& earlier) {
    ValueCursor cursor(values, ValueColumns(output.mode));
    if (input.Format() == InputFormat::Bam || input.Format() == InputFormat::Cram)
        return WriteTaggedFromRecords(input, inOptions, output, cursor, earlier);
    return WriteTaggedFromText(input, inOptions, output, cursor, earlier);
}
