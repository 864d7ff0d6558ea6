#include "LineSources.h"

#include <htslib/bgzf.h>
#include <htslib/cram.h>
#include <htslib/hfile.h>
#include <htslib/kstring.h>

#include <cstring>
#include <vector>

#include "PlainLineSource.h"

namespace {

const int BGZF_BLOCKS_PER_THREAD = 256;

// A record's fixed fields are hashed as they lie in memory: they have no padding between them.
static_assert(sizeof(bam1_core_t) == 48, "bam1_core_t has padding bytes");

// A BGZF stream that ended with no error noted and after its empty end-of-file block: with
// threads, a block cut short is noted as an error on the stream, and the reading ends there
// as if the file ended.
bool BgzfReachedTheEnd(const BGZF* pFile) { return pFile->errcode == 0 && pFile->last_block_eof; }

// The text of a gzip- or BGZF-compressed file, decompressed and cut into lines exactly as the
// plain file would be: no line end is dropped or added but the '\n' between lines.
class CompressedLineSource : public BlockLineSource {
public:
    CompressedLineSource(const InputFile& input, const InputOptions& options)
        : sName(input.Name()), pFile(bgzf_open(input.Path().c_str(), "r")) {
        if (pFile == nullptr) throw InputError(DescribeSamFile(sName) + " cannot be opened for decompression");
        const int iEof = pFile->is_gzip ? 1 : bgzf_check_EOF(pFile);
        if (iEof <= 0) {
            bgzf_close(pFile);
            throw InputError(DescribeSamFile(sName) +
                             (iEof == 0 ? " is cut short (the end-of-file marker of its compression is missing)"
                                        : " cannot be read: its end cannot be checked"));
        }
        if (options.iThreads > 1 && !pFile->is_gzip) bgzf_mt(pFile, options.iThreads, BGZF_BLOCKS_PER_THREAD);
    }
    ~CompressedLineSource() override { bgzf_close(pFile); }
    CompressedLineSource(const CompressedLineSource&) = delete;
    CompressedLineSource& operator=(const CompressedLineSource&) = delete;

private:
    // Asks for no more than the rest of the decompressed block at hand, or at its end for one
    // byte, which decompresses the next block alone: a read that fails in a later block returns
    // none of the bytes it had copied, and every line before the damage is to be handed out first.
    std::size_t ReadBlock(char* pTo, std::size_t iMax) override {
        const int iLeftInBlock = pFile->block_length - pFile->block_offset;
        const std::size_t iAsk = std::min(iMax, static_cast<std::size_t>(iLeftInBlock > 0 ? iLeftInBlock : 1));
        ssize_t iRead = bgzf_read(pFile, pTo, iAsk);
        if (iRead < 0 || (iRead == 0 && !ReachedTheEnd()))
            throw InputError(DescribeSamFile(sName) + " cannot be decompressed after line " +
                             std::to_string(LinesHandedOut()) + ": the compressed data is damaged or cut short");
        return static_cast<std::size_t>(iRead);
    }

    bool ReachedTheEnd() const { return pFile->is_gzip ? pFile->errcode == 0 : BgzfReachedTheEnd(pFile); }

    std::string sName;
    BGZF* pFile;  // owned; closed by the destructor
};

// The header's lines as SAM text; empty when the header holds none.
std::string HeaderText(sam_hdr_t* pHeader) {
    const char* pText = sam_hdr_str(pHeader);
    return pText == nullptr ? std::string() : std::string(pText, sam_hdr_length(pHeader));
}

// A BAM or CRAM file as SAM text: the header's lines, then one formatted line per record.
class RecordLineSource : public LineSource {
public:
    RecordLineSource(const InputFile& input, const InputOptions& options)
        : sName(input.Name()), reader(input, options), sHeaderText(HeaderText(reader.Header())), iHeaderPos(0),
          pRecord(bam_init1()), text{0, 0, nullptr} {
        if (pRecord == nullptr) throw InputError(DescribeSamFile(sName) + ": out of memory for a record");
    }
    ~RecordLineSource() override {
        bam_destroy1(pRecord);
        ks_free(&text);
    }
    RecordLineSource(const RecordLineSource&) = delete;
    RecordLineSource& operator=(const RecordLineSource&) = delete;

    const ContentChecksum& Checksum() const override { return reader.Checksum(); }

    bool NextLine(LineView& line) override {
        if (iHeaderPos < sHeaderText.size()) return NextHeaderLine(line);
        if (!reader.Next(pRecord)) return false;
        ks_clear(&text);
        if (sam_format1(reader.Header(), pRecord, &text) < 0)
            throw InputError(DescribeSamFile(sName) + ": record " + std::to_string(reader.RecordsRead()) +
                             " cannot be written as SAM text");
        line.pData = text.s;
        line.iLength = text.l;
        return true;
    }

private:
    bool NextHeaderLine(LineView& line) {
        std::size_t iNewline = sHeaderText.find('\n', iHeaderPos);
        if (iNewline == std::string::npos) iNewline = sHeaderText.size();
        line.pData = &sHeaderText[iHeaderPos];
        line.iLength = iNewline - iHeaderPos;
        iHeaderPos = iNewline + 1;
        return true;
    }

    std::string sName;
    HtsRecordReader reader;
    std::string sHeaderText;
    std::size_t iHeaderPos;  // start of the next header line
    bam1_t* pRecord;         // owned; reused for every record
    kstring_t text;          // owned; the current record as SAM text, reused
};

}  // namespace

HtsRecordReader::HtsRecordReader(const InputFile& input, const InputOptions& options)
    : sName(input.Name()), bCram(input.Format() == InputFormat::Cram), bBam(input.Format() == InputFormat::Bam),
      iFileSize(input.Size()), pFile(nullptr), pHeader(nullptr), iRecords(0) {
    pFile = hts_open(input.Path().c_str(), "r");
    if (pFile == nullptr) throw InputError(DescribeSamFile(sName) + " cannot be opened for decoding");
    try {
        if (bCram && !options.sReference.empty() && hts_set_fai_filename(pFile, options.sReference.c_str()) != 0)
            throw InputError(DescribeSamFile(sName) + ": the reference (" + options.sReference + ") cannot be used");
        // Only BAM and CRAM end with a marker; SAM text is read as it comes.
        int iEof = bCram ? cram_check_EOF(pFile->fp.cram) : bBam ? bgzf_check_EOF(pFile->fp.bgzf) : 1;
        if (iEof == 0) throw InputError(DescribeSamFile(sName) + " is cut short (its end-of-file marker is missing)");
        if (iEof < 0) throw InputError(DescribeSamFile(sName) + " cannot be read: its end cannot be checked");
        pHeader = sam_hdr_read(pFile);
        if (pHeader == nullptr) throw InputError(DescribeSamFile(sName) + " cannot be decoded: its header is damaged");
        if (const char* pText = sam_hdr_str(pHeader)) content.Add(pText, sam_hdr_length(pHeader));
        // The worker threads start only now. htslib's BGZF reader thread reads ahead from the
        // moment it starts, and once it has met a damaged block it ends without answering the
        // end-of-file query that reading a BAM header sends it: that query then waits forever.
        // Read without threads, the marker check and the header fail as errors; after the
        // header, reading sends the reader thread no more queries.
        if (options.iThreads > 1) hts_set_threads(pFile, options.iThreads);
    } catch (...) {
        hts_close(pFile);
        throw;
    }
}

HtsRecordReader::~HtsRecordReader() {
    sam_hdr_destroy(pHeader);
    hts_close(pFile);
}

// With threads, htslib may end a damaged file early as if it ended there: a CRAM container it
// cannot read while reading ahead ends the records, and so does a BGZF block cut short (its
// error is only noted on the stream). The end counts when the decoder reached the file's end.
bool HtsRecordReader::ReachedTheEnd() const {
    if (bCram) {
        hFILE* pStream = cram_fd_get_fp(pFile->fp.cram);
        return pStream != nullptr && htell(pStream) == static_cast<off_t>(iFileSize);
    }
    return !bBam || BgzfReachedTheEnd(pFile->fp.bgzf);
}

bool HtsRecordReader::Next(bam1_t* pRecord) {
    int iResult = sam_read1(pFile, pHeader, pRecord);
    if (iResult >= 0) {
        ++iRecords;
        content.Add(&pRecord->core, sizeof(pRecord->core));
        content.Add(pRecord->data, static_cast<std::size_t>(pRecord->l_data));
        return true;
    }
    if (iResult == -1 && ReachedTheEnd()) return false;
    std::string sMessage = DescribeSamFile(sName) + " cannot be decoded after record " + std::to_string(iRecords);
    sMessage += bCram ? ": it is damaged, or its reference is not found (give the FASTA file with REFERENCE=path)"
                      : ": it is damaged or cut short";
    throw InputError(sMessage);
}

std::unique_ptr<LineSource> OpenLineSource(const InputFile& input, const InputOptions& options) {
    switch (input.Format()) {
        case InputFormat::Sam: return std::make_unique<PlainLineSource>(input.Path());
        case InputFormat::CompressedSam: return std::make_unique<CompressedLineSource>(input, options);
        case InputFormat::Bam:
        case InputFormat::Cram: break;
    }
    return std::make_unique<RecordLineSource>(input, options);
}
