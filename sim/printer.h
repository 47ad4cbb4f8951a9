// The simulated printer: the table of commands it knows, the dispatch of a frame to its
// handler, and the status bytes and return codes of every answer.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "fiscalmemory/core/journal.h"
#include "sim/catalog.h"
#include "sim/fields.h"
#include "sim/frame.h"
#include "sim/params.h"
#include "sim/state.h"

namespace ordavo::sim {

// Answer layouts.
enum class Shape {
    kFixed,  // ACK, data, ST1, ST2 (, ST3)
    kEtx,    // ACK, ST1, ST2 (, ST3), text, ETX
    kNul,    // ACK, ST1, ST2 (, ST3), text, 0x00
    kGprs,   // ACK, kind and its data, ST1, ST2 (, ST3) unless the module is busy
};

struct Answer {
    Shape shape = Shape::kFixed;
    Bytes data;  // fixed: the data bytes; status-first: the text; GPRS: the kind byte onward
    uint8_t st1 = 0, st2 = 0;
    uint16_t st3 = 0;
    bool nak = false;
    bool with_status = true;  // false only for the busy GPRS answer
    std::string note;         // why, for the log
    bool read_only = false;   // the state did not change: no need to save it
};

// The bytes that go on the line. `terminate` false leaves out the ETX or NUL of a status-first
// answer.
Bytes AnswerBytes(const Answer& a, bool extended, bool terminate = true);

// Return codes (ST3) the simulator gives.
namespace rc {
constexpr uint16_t kOk = 0, kInvalidCommand = 1, kParamCount = 3, kParamType = 4, kRatesFull = 5,
                   kReceiptOpen = 7, kReceiptNotOpen = 8, kPrinterError = 10, kNoPaper = 11, kHeadUp = 12,
                   kRateNotProgrammed = 14, kAdjustmentOverTotal = 16, kNoItemSold = 17, kNotDone = 18,
                   kPaymentTableFull = 19, kPaymentNotProgrammed = 20, kNotTotalized = 23,
                   kCancelNotRightAfter = 26, kAlreadyCancelled = 27, kCdcNotAllowed = 28,
                   kNoNonFiscalOpen = 30, kTotalizerNotProgrammed = 34, kPaymentNotEqualTotal = 38,
                   kMfFull = 51, kBadStartDate = 52, kBadEndDate = 53, kBadStartCrz = 54, kBadEndCrz = 55,
                   kDateBeforeLastDoc = 58, kNotInIntervention = 59, kInIntervention = 60,
                   kMovementToday = 62, kPaymentOpen = 64, kWaitingFirstUser = 65, kWaitingZ = 66,
                   kTillOrStoreZero = 67, kNullNonFiscal = 70, kNullSale = 85, kZInIntervention = 88,
                   kNullPayment = 90, kNoAuthentication = 92, kNotOnTicketPrinter = 94,
                   kNotOnReceiptPrinter = 95, kBadDateTime = 100, kNoGerencialOrCdc = 101,
                   kBadTotalizerNumber = 102, kBadGerencialNumber = 105, kBlankTotalizerName = 111,
                   kDateTimeBeforeLastDoc = 112, kBadAdjustment = 113, kNoSuchItem = 115,
                   kSurchargeOverItem = 118, kDiscountOverItem = 119, kSurchargeDone = 121,
                   kDiscountDone = 122, kBadCoordinates = 130, kTooMuchText = 131, kBadEscSequence = 83,
                   kIncompleteEscSequence = 84, kNotEscOrFs = 141, kSameUserData = 153,
                   kSamePaymentName = 155, kBadPassword = 158, kNoAuditData = 160, kTooManyItems = 183,
                   kSpacingBelow4 = 193, kZeroRate = 195, kNullCheque = 178, kChequeWithoutPlace = 180,
                   kPrizeNegative = 4104, kNonFiscalOpen = 48, kPaymentsClosed = 22, kAlreadySubtotaled = 170,
                   kNullSurcharge = 174, kNullDiscount = 175, kCodeWithSpaces = 116,
                   kDescriptionWithoutLetters = 117, kBadDate = 177, kBadInterval = 214,
                   kNullPaymentIndex = 162, kItemTooBig = 198, kTextTooLong = 189,
                   kStringTerminatorMissing = 15, kBlankIdentity = 167, kAuditFull = 47;
}

class Printer;

struct Request {
    const Frame* frame = nullptr;
    bool extended = false;
    std::vector<uint8_t> escape;
    const uint8_t* params = nullptr;  // the bytes after the escape code
    size_t params_size = 0;
    int layout = 0;  // which of the command's layouts matched
    std::vector<std::optional<std::string>> values;

    bool Has(size_t i) const { return i < values.size() && values[i].has_value(); }
    // The raw value (printer bytes), empty when left out.
    std::string Raw(size_t i) const { return Has(i) ? *values[i] : std::string(); }
    // The value as Windows-1252 text.
    std::string Text(size_t i) const;
    // The value without trailing spaces (and LF for line texts).
    std::string Trimmed(size_t i) const;
    int64_t Number(size_t i) const;
};

using Handler = std::function<void(Printer&, const Request&, Answer&)>;

enum CommandFlags : uint32_t {
    kPrints = 1,             // needs paper and a closed head
    kFiscalDocument = 2,     // refused in technical intervention
    kNeedsIntervention = 4,  // programming that only technical intervention allows
    kVariableAnswer = 8,     // a fixed-layout answer whose length the handler decides
};

struct CommandDef {
    std::vector<uint8_t> escape;
    std::string name;
    std::vector<std::vector<ParamDef>> layouts;  // accepted parameter layouts, tried in order
    Shape shape = Shape::kFixed;
    std::vector<FieldDef> fields;  // a fixed answer carries the sum of their sizes
    uint32_t flags = 0;
    Handler handler;

    int DataLength() const;
};

// The registration functions of the command groups.
void AddReceiptCommands(std::vector<CommandDef>& table);
void AddNonFiscalCommands(std::vector<CommandDef>& table);
void AddReadingCommands(std::vector<CommandDef>& table);
void AddProgrammingCommands(std::vector<CommandDef>& table);
void AddMemoryCommands(std::vector<CommandDef>& table);
void AddGprsCommands(std::vector<CommandDef>& table);
void AddDownloadCommands(std::vector<CommandDef>& table);

class Printer {
  public:
    Printer(PrinterState state, const Catalog* catalog);

    Answer Handle(const Frame& frame);

    PrinterState& state() { return state_; }
    const PrinterState& state() const { return state_; }
    const std::vector<CommandDef>& table() const { return table_; }
    // The command whose escape is the longest prefix of the payload.
    const CommandDef* Find(const uint8_t* payload, size_t size) const;

    // Printer clock in seconds of its own calendar, and setting it.
    int64_t Now() const;
    void SetClock(int64_t printer_seconds);

    // Refuses the command: the return code, COMANDO NO EJECUTADO and the status bit that goes
    // with the code.
    static void Fail(Answer& a, uint16_t code, const std::string& why = {});

    // GPRS answers: the kind every GPRS command answers with (-1: each its own).
    int forced_gprs_kind = -1;

    // Fiscal-memory downloads; not kept in the state file. The prepared download, the line
    // speed the printer listens at, the speed it goes to after the answer being sent, and the
    // byte of every download's content to change after signing (-1: none).
    struct Download {
        bool open = false;
        std::string content;
        std::string signature;
        uint32_t block_size = 4096;
        bool line_error_done = false;
    };
    Download download;
    int line_baud = 9600;
    int next_baud = 0;
    int corrupt_download = -1;

    // Bookkeeping shared by the handlers.
    void StartDocument(const std::string& kind);  // counts the COO
    // Keeps the document in the audit memory and its journal, with the figures set before
    // by SetDocumentFigures (none when not set).
    void EndDocument(const std::string& kind, int64_t total, const std::string& text);
    void SetDocumentFigures(fm::JournalDocument figures) { figures_ = std::move(figures); }
    void NoteFiscalMovement();
    std::string HeaderText() const;  // printer bytes

    // Catalog check: differences between the catalog's commands and the built-in ones.
    std::vector<std::string> Check(const Catalog& catalog) const;

  private:
    void Finish(Answer& a) const;
    Answer Generic(const CatalogCommand& c, const Request& r);

    PrinterState state_;
    const Catalog* catalog_;
    std::vector<CommandDef> table_;
    fm::JournalDocument figures_;
};

// Layout helpers for the tables.
ParamDef P(const char* formato, int tamanho, bool obrigatorio = true);
FieldDef F(const char* formato, int tamanho);
std::vector<uint8_t> E(std::initializer_list<int> bytes);

}  // namespace ordavo::sim
