#include "sim/printer.h"

#include <algorithm>
#include <ctime>

#include "engine/codepage.h"
#include "engine/util.h"
#include "sim/cp850.h"
#include "sim/journal.h"

namespace ordavo::sim {

ParamDef P(const char* formato, int tamanho, bool obrigatorio) {
    return {formato, tamanho, obrigatorio, {}};
}
FieldDef F(const char* formato, int tamanho) {
    return {formato, tamanho, {}};
}
std::vector<uint8_t> E(std::initializer_list<int> bytes) {
    std::vector<uint8_t> out;
    for (int b : bytes) out.push_back(static_cast<uint8_t>(b));
    return out;
}

int CommandDef::DataLength() const {
    int n = 0;
    for (const FieldDef& f : fields) n += f.tamanho;
    return n;
}

std::string Request::Text(size_t i) const {
    return FromPrinter(Raw(i));
}

std::string Request::Trimmed(size_t i) const {
    std::string t = Text(i);
    while (!t.empty() && (t.back() == ' ' || t.back() == '\n' || t.back() == '\0')) t.pop_back();
    return t;
}

int64_t Request::Number(size_t i) const {
    int64_t v = 0;
    for (char c : Raw(i)) {
        if (c < '0' || c > '9') break;
        if (v > 100000000000000000LL) break;  // beyond any field the printer has
        v = v * 10 + (c - '0');
    }
    return v;
}

Bytes AnswerBytes(const Answer& a, bool extended, bool terminate) {
    if (a.nak) return {kNak};
    Bytes status{a.st1, a.st2};
    if (extended) {
        status.push_back(static_cast<uint8_t>(a.st3 & 0xFF));
        status.push_back(static_cast<uint8_t>(a.st3 >> 8));
    }
    Bytes out{kAck};
    switch (a.shape) {
        case Shape::kFixed:
            Append(out, a.data);
            Append(out, status);
            break;
        case Shape::kEtx:
        case Shape::kNul:
            Append(out, status);
            Append(out, a.data);
            if (terminate) out.push_back(a.shape == Shape::kEtx ? kEtx : 0x00);
            break;
        case Shape::kGprs:
            Append(out, a.data);
            if (a.with_status) Append(out, status);
            break;
    }
    return out;
}

Printer::Printer(PrinterState state, const Catalog* catalog) : state_(std::move(state)), catalog_(catalog) {
    AddReceiptCommands(table_);
    AddNonFiscalCommands(table_);
    AddReadingCommands(table_);
    AddProgrammingCommands(table_);
    AddMemoryCommands(table_);
    AddGprsCommands(table_);
    AddDownloadCommands(table_);
}

const CommandDef* Printer::Find(const uint8_t* payload, size_t size) const {
    const CommandDef* best = nullptr;
    for (const CommandDef& d : table_) {
        if (d.escape.size() > size || !std::equal(d.escape.begin(), d.escape.end(), payload)) continue;
        if (!best || d.escape.size() > best->escape.size()) best = &d;
    }
    return best;
}

int64_t Printer::Now() const {
    const time_t now = time(nullptr);
    struct tm local {};
    localtime_r(&now, &local);
    return static_cast<int64_t>(now) + local.tm_gmtoff + state_.clock_offset;
}

void Printer::SetClock(int64_t printer_seconds) {
    state_.clock_offset += printer_seconds - Now();
}

void Printer::Fail(Answer& a, uint16_t code, const std::string& why) {
    a.st3 = code;
    a.data.clear();
    switch (code) {
        case rc::kInvalidCommand:
            a.st1 |= 0x04;
            break;
        case rc::kParamCount:
            a.st1 |= 0x01;
            break;
        case rc::kParamType:
            a.st2 |= 0x80;
            break;
        case rc::kNotEscOrFs:
            a.st1 |= 0x08;
            break;
        case rc::kRateNotProgrammed:
            a.st2 |= 0x10 | 0x01;
            break;
        case rc::kRatesFull:
            a.st2 |= 0x08 | 0x01;
            break;
        case rc::kCancelNotRightAfter:
        case rc::kAlreadyCancelled:
            a.st2 |= 0x04 | 0x01;
            break;
        case rc::kMfFull:
            a.st2 |= 0x40 | 0x01;
            break;
        case rc::kPrinterError:
            a.st1 |= 0x10;
            a.st2 |= 0x01;
            break;
        default:
            a.st2 |= 0x01;
    }
    a.note = why.empty() ? "refused with code " + std::to_string(code) : why;
}

void Printer::Finish(Answer& a) const {
    const PrinterState& s = state_;
    if (s.paper_out) a.st1 |= 0x80;
    if (s.paper_low) a.st1 |= 0x40;
    if (s.clock_error) a.st1 |= 0x20;
    if (s.head_up) a.st1 |= 0x10;
    if (s.doc.kind == DocKind::kReceipt) a.st1 |= 0x02;
    if (s.fiscal_memory.size() >= kFiscalMemoryCapacity) a.st2 |= 0x40;
    if (s.rif.find_first_not_of(' ') == std::string::npos) a.st2 |= 0x02;
}

void Printer::StartDocument(const std::string& kind) {
    state_.coo = state_.coo >= 999999 ? 1 : state_.coo + 1;
    state_.last_document_time = Now();
    state_.last_doc_kind = kind;
}

void Printer::EndDocument(const std::string& kind, int64_t total, const std::string& text) {
    PrinterState& s = state_;
    if (s.audit_memory.size() >= kAuditMemoryCapacity)  // oldest documents make room
        s.audit_memory.erase(s.audit_memory.begin(), s.audit_memory.begin() + 1000);
    s.audit_memory.push_back({s.coo, kind, Now(), total});
    if (s.journal.size() >= kAuditMemoryCapacity) s.journal.erase(s.journal.begin(), s.journal.begin() + 1000);
    s.journal.push_back(JournalRecord(s, kind, Now(), text, std::move(figures_)));
    figures_ = fm::JournalDocument();
    s.last_doc_kind = kind;
    s.last_document_time = Now();
    s.last_document_text = text.substr(0, 16384);
    s.paper_lines = static_cast<int>(std::min<int64_t>(
        65535, s.paper_lines + static_cast<int64_t>(std::count(text.begin(), text.end(), '\n'))));
}

void Printer::NoteFiscalMovement() {
    if (state_.movement) return;
    state_.movement = true;
    state_.movement_day = DayNumber(Now());
}

std::string Printer::HeaderText() const {
    std::string h = state_.header;
    if (!h.empty() && h.back() != '\n') h += '\n';
    return h;
}

Answer Printer::Generic(const CatalogCommand& c, const Request& req) {
    Answer a;
    if (c.tipo == "GPRS") {
        a.shape = Shape::kGprs;
        a.data = {0x00, 0x00};
    } else if (c.tamanho_retorno == -1 || c.tamanho_retorno == -2) {
        a.shape = c.tamanho_retorno == -1 ? Shape::kEtx : Shape::kNul;
        const Clock k = Split(Now());
        const std::string text =
            ToPrinter(c.titulo) + "\n" +
            Format("%02d/%02d/%04d %02d:%02d\n", k.day, k.month, k.year, k.hour, k.minute) + "SIN DATOS\n";
        a.data.assign(text.begin(), text.end());
    }
    SplitResult split = SplitParams(c.params, req.params, req.params_size);
    if (split.error != ParamError::kNone) {
        Fail(a, split.error == ParamError::kCount ? rc::kParamCount : rc::kParamType, split.why);
        if (a.shape == Shape::kGprs) a.data = {0x00, 0x01};
    } else if (a.shape == Shape::kFixed) {
        for (const FieldDef& f : c.returns)
            Append(a.data, FillField(state_, Now(), f.formato, f.tamanho, f.titulo));
        a.note = "answered from the catalog entry " + c.file + ":" + std::to_string(c.line);
    }
    if (a.shape == Shape::kFixed) a.data.resize(static_cast<size_t>(std::max(c.tamanho_retorno, 0)), 0);
    return a;
}

Answer Printer::Handle(const Frame& frame) {
    Request req;
    req.frame = &frame;
    req.extended = frame.prefix() == kFs;
    const uint8_t* payload = frame.payload();
    const size_t size = frame.payload_size();

    const CommandDef* def = Find(payload, size);
    const CatalogCommand* cat = def || !catalog_ ? nullptr : catalog_->Find(payload, size);
    const size_t escape_len = def ? def->escape.size() : cat ? cat->escape.size() : 0;
    req.escape.assign(payload, payload + escape_len);
    req.params = payload + escape_len;
    req.params_size = size - escape_len;

    Answer a;
    if (def) {
        a.shape = def->shape;
        // The fiscal memory reading comes back through the port when position 17 holds R or r.
        if (!def->escape.empty() && def->escape[0] == 8 && frame.raw.size() > 17 &&
            (frame.raw[17] == 'R' || frame.raw[17] == 'r'))
            a.shape = Shape::kEtx;
    }

    if (frame.prefix() != kEsc && frame.prefix() != kFs) {
        Fail(a, rc::kNotEscOrFs, "first byte after NB is neither ESC nor FS");
        if (!def && cat && cat->tamanho_retorno > 0)
            a.data.resize(static_cast<size_t>(cat->tamanho_retorno), 0);
    } else if (!def && cat) {
        a = Generic(*cat, req);
    } else if (!def) {
        Fail(a, rc::kInvalidCommand, "no command with this escape code");
    } else {
        SplitResult first;
        bool matched = false;
        for (size_t i = 0; i < def->layouts.size() && !matched; ++i) {
            SplitResult r = SplitParams(def->layouts[i], req.params, req.params_size);
            if (r.error == ParamError::kNone) {
                req.layout = static_cast<int>(i);
                req.values = std::move(r.values);
                matched = true;
            } else if (i == 0 || (first.error == ParamError::kCount && r.error == ParamError::kType)) {
                first = std::move(r);
            }
        }
        if (def->layouts.empty()) {
            matched = req.params_size == 0;
            first.error = ParamError::kCount;
            first.why = "the command takes no parameters";
        }
        if (!matched) {
            Fail(a, first.error == ParamError::kType ? rc::kParamType : rc::kParamCount, first.why);
        } else if ((def->flags & kNeedsIntervention) && !state_.intervention) {
            Fail(a, rc::kNotInIntervention);
        } else if ((def->flags & kFiscalDocument) && state_.intervention) {
            Fail(a, rc::kInIntervention);
        } else if ((def->flags & kPrints) && state_.paper_out) {
            Fail(a, rc::kNoPaper);
        } else if ((def->flags & kPrints) && state_.head_up) {
            Fail(a, rc::kHeadUp);
        } else {
            def->handler(*this, req, a);
        }
        if (a.shape == Shape::kGprs && forced_gprs_kind >= 0) {
            switch (forced_gprs_kind) {
                case 0:
                    a.data = {0x00, static_cast<uint8_t>(a.st3 ? 1 : 0)};
                    break;
                case 1:
                    a.data = {0x01, 0x17, 0x00};
                    break;
                case 2:
                    a.data = {0x02, 0x03, 'a', 'b', 'c'};
                    break;
                case 3:
                    a.data = {0x03, '*', 'O', 'K', '*'};
                    break;
                case 4:
                    a.data = {0x04, 0x3C, 0x00, 'B', 'U', 'S', 'Y', 0x00};
                    break;
                case 5:
                    a.data = {0x05};
                    break;
                default:
                    a.data = {static_cast<uint8_t>(forced_gprs_kind)};
            }
            a.with_status = forced_gprs_kind != 4;
        }
    }
    // A refused command keeps the answer length the program waits for.
    if (def && a.shape == Shape::kFixed && !(def->flags & kVariableAnswer))
        a.data.resize(static_cast<size_t>(def->DataLength()), 0);
    if (a.shape == Shape::kGprs && a.data.empty()) a.data = {0x00, static_cast<uint8_t>(a.st3 ? 1 : 0)};
    // The terminator of a status-first text may not occur inside it.
    if (a.shape == Shape::kEtx) std::replace(a.data.begin(), a.data.end(), kEtx, static_cast<uint8_t>(' '));
    if (a.shape == Shape::kNul)
        std::replace(a.data.begin(), a.data.end(), uint8_t{0}, static_cast<uint8_t>(' '));
    Finish(a);
    return a;
}

std::vector<std::string> Printer::Check(const Catalog& catalog) const {
    std::vector<std::string> problems;
    for (const CatalogCommand& c : catalog.commands()) {
        if (c.tipo == "TESTE") continue;
        const std::string where = c.file + ":" + std::to_string(c.line) + ": \"" + c.escape_text + "\" (" +
                                  Cp1252ToUtf8(c.titulo) + ")";
        int fields = 0;
        for (const FieldDef& f : c.returns) fields += f.tamanho;
        if (c.tamanho_retorno >= 0 && c.tipo != "GPRS" && fields != c.tamanho_retorno)
            problems.push_back(where + ": return fields add up to " + std::to_string(fields) +
                               " bytes but tamanho_retorno is " + std::to_string(c.tamanho_retorno));
        const CommandDef* def = nullptr;
        for (const CommandDef& d : table_)
            if (d.escape == c.escape) def = &d;
        if (!def) {
            problems.push_back(where + ": no built-in command; answered from the catalog layout");
            continue;
        }
        const bool memory_reading = def->escape.size() == 1 && def->escape[0] == 8;
        if (c.tipo == "GPRS" || def->shape == Shape::kGprs) {
            if (c.tipo != "GPRS" || def->shape != Shape::kGprs)
                problems.push_back(where + ": GPRS command on one side only");
        } else if (def->shape == Shape::kEtx && !memory_reading) {
            if (c.tamanho_retorno != -1)
                problems.push_back(where + ": the printer answers status first, ETX-terminated");
        } else if (def->shape == Shape::kNul) {
            if (c.tamanho_retorno != -2)
                problems.push_back(where + ": the printer answers status first, NUL-terminated");
        } else if (c.tamanho_retorno != def->DataLength()) {
            problems.push_back(where + ": the printer answers " + std::to_string(def->DataLength()) +
                               " data bytes, the catalog expects " + std::to_string(c.tamanho_retorno));
        }
        bool shape_ok = def->layouts.empty() && WireShapeText(c.params) == "[]";
        for (const auto& layout : def->layouts) shape_ok = shape_ok || SameWireShape(layout, c.params);
        if (!shape_ok) {
            std::string accepted;
            for (const auto& layout : def->layouts) accepted += " " + WireShapeText(layout);
            problems.push_back(where + ": parameters " + WireShapeText(c.params) +
                               " do not match the printer's" +
                               (accepted.empty() ? std::string(" []") : accepted));
        }
    }
    return problems;
}

}  // namespace ordavo::sim
