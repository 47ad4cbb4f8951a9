#include "fiscalmemory/core/audit_file.h"

#include "engine/util.h"

namespace ordavo::fm {

std::string AuditBlock(int kind) {
    std::string block(kAuditBlockSize, '\0');
    block[0] = kind == 0 ? '\x00' : '\x01';
    block.replace(1, 7, "PDF-417");
    block[254] = kind == 0 ? '\x42' : '\x3C';
    block[255] = kind == 0 ? '\x55' : '\x40';
    return block;
}

std::string AuditFileHead() {
    std::string head(kAuditBlankSize, '\xFF');
    head.reserve(kAuditHeadSize);
    std::string a = AuditBlock(0), b = AuditBlock(1);
    for (int i = 0; i < 3; ++i) head += a;
    for (int i = 0; i < 3; ++i) head += b;
    return head;
}

std::string BuildAuditFile(std::string_view journal) {
    std::string out = AuditFileHead();
    out.reserve(out.size() + journal.size() + kAuditTailSize);
    out.append(journal);
    out.append(kAuditTailSize, '\xFF');
    return out;
}

bool WriteAuditFile(const std::string& path, std::string_view journal, std::string* error) {
    return WriteFileAtomically(path, BuildAuditFile(journal), error);
}

bool CheckAuditHead(std::string_view head, std::string* error) {
    if (head.size() < kAuditHeadSize) {
        if (error) *error = "too short for an audit file";
        return false;
    }
    std::string a = AuditBlock(0), b = AuditBlock(1);
    // Of the three copies of each block, one that reads right is enough.
    auto any_copy = [&](size_t at, const std::string& block) {
        for (int i = 0; i < 3; ++i)
            if (head.substr(at + i * kAuditBlockSize, kAuditBlockSize) == block) return true;
        return false;
    };
    if (!any_copy(kAuditBlankSize, a) || !any_copy(kAuditBlankSize + 3 * kAuditBlockSize, b)) {
        if (error) *error = "not an audit file (blocks A and B missing)";
        return false;
    }
    return true;
}

}  // namespace ordavo::fm
