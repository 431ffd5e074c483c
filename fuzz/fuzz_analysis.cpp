// Sector contents on a Model II geometry -> recognition, every listing, the document index and
// the detokeniser, as analyseDisk runs them.
#include "analysis/analysis.h"
#include "analysis_input.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const sv::DiskImage& disk = svfuzz::layAnalysisInput(svfuzz::input(data, size));
    svfuzz::NullLog log;
    (void)sv::analyseDisk(disk, log);
    return 0;
}
