// The download protocol's answer parsers take whatever comes off the line: the open command's
// answer and the blocks, with any number and length asked for.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fiscalmemory/library/protocol.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace ordavo::mfd;
    DownloadInfo info;
    if (ParseDownloadInfo(data, size, &info) && info.reason == kReasonOk) {
        // A description that parses covers its content with its blocks exactly.
        const uint64_t need = info.block_size ? (uint64_t{info.size} + info.block_size - 1) / info.block_size : 0;
        if (need != info.blocks || (info.block_size == 0 && info.size != 0)) __builtin_trap();
    }
    if (size < 6) return 0;
    // The first six bytes say which block and length are awaited; the rest is the answer.
    const uint32_t number = data[0] | (data[1] << 8) | (uint32_t{data[2]} << 16) | (uint32_t{data[3]} << 24);
    const size_t length = data[4] | (data[5] << 8);
    std::string bytes;
    if (ParseBlock(data + 6, size - 6, number, length, &bytes) && bytes.size() != length) __builtin_trap();
    ParseBlock(data, size, number, length, nullptr);
    return 0;
}
