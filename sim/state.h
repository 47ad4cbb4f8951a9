// Everything a fiscal printer remembers: identity, clock, programming, the open document, the
// day's totals, and the fiscal and audit memories. Texts are Windows-1252; the header keeps the
// printer's own bytes (code page 850 with its formatting sequences).
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace ordavo::sim {

constexpr int kRates = 16;
constexpr int kTotalizers = 50;
constexpr int kPaymentMethods = 20;
constexpr int kGerencialReports = 30;
constexpr size_t kMaxItems = 500;
constexpr size_t kFiscalMemoryCapacity = 1825;  // five years of daily reductions
constexpr size_t kAuditMemoryCapacity = 20000;  // documents

enum class DocKind { kNone = 0, kReceipt, kGerencial, kVinculado };
enum class Phase { kItems = 0, kPayment };

struct Item {
    std::string code;
    std::string description;
    int rate = 0;            // 1..16, or 0 for exempt
    int64_t quantity = 0;    // thousandths
    int64_t unit_price = 0;  // cents
    int64_t gross = 0;       // cents
    int64_t adjustment = 0;  // cents; negative for a discount
    bool discounted = false, surcharged = false;
    bool cancelled = false;
    int64_t Net() const { return cancelled ? 0 : gross + adjustment; }
};

struct Payment {
    int method = 0;  // 1..20
    int64_t value = 0;
};

struct OpenDocument {
    DocKind kind = DocKind::kNone;
    int doc_type = 0;  // fiscal document type (0..3) of the Dominican commands
    Phase phase = Phase::kItems;
    int64_t subtotal_adjustment = 0;  // cents; negative for a discount
    std::string buyer_id, buyer_name;
    std::vector<Item> items;
    std::vector<Payment> payments;
    std::vector<std::string> lines;  // non-fiscal text printed so far
    int gerencial = 0;               // report number of an open management report

    int64_t ItemsTotal() const;
    int64_t Total() const { return ItemsTotal() + subtotal_adjustment; }
    int64_t Paid() const;
    int LiveItems() const;
};

// One reduction in the fiscal memory.
struct ZRecord {
    int crz = 0;
    int coo = 0;
    int64_t when = 0;  // printer clock, seconds
    int64_t grand_total = 0;
    int64_t day_total = 0;
    int64_t cancellations = 0;
    int64_t discounts = 0;
    // The rest of the fiscal memory's record (".mf"); state files without them read as zero.
    int64_t surcharges = 0;
    int64_t exempt = 0;
    std::array<int64_t, kRates> rate_totals{};
};

// One document in the audit memory.
struct AuditRecord {
    int coo = 0;
    std::string kind;  // short name of the document
    int64_t when = 0;
    int64_t total = 0;
};

struct PrinterState {
    // Identity.
    std::string serial = "VE0100000001";
    std::string rif = "J-30123456-7";
    std::string nit = "0123456789";
    std::string im;
    std::string uf;
    std::string header;  // printer bytes, LF between lines
    std::string currency = "Bs";
    std::string firmware = "01.05";
    std::array<uint8_t, 10> password{};
    int store = 1;
    int till = 1;

    // Clock: the printer's time is the computer's local time plus this many seconds.
    int64_t clock_offset = 0;
    bool summer_time = false;

    // Taxes: rate texts of four digits ("1600" is 16,00 %), the first rate_count in use.
    std::array<std::string, kRates> rates;
    int rate_count = 0;
    std::array<bool, kRates> vinc{};  // true: the rate is not IVA

    std::array<std::string, kTotalizers> totalizers;
    std::array<std::string, kGerencialReports> gerencial_names;
    std::array<std::string, kPaymentMethods> payment_names;
    std::array<bool, kPaymentMethods> payment_tef{};
    std::array<int64_t, kPaymentMethods> payment_totals{};
    std::array<int64_t, kPaymentMethods> payment_last{};
    std::map<int, std::string> cheque_positions;  // bank -> 13 position bytes
    std::string promo_message;
    std::string auth_char;

    // Options.
    bool cupon_adicional = false;
    bool desc_iss = false;
    bool vinc_cnf = true;
    bool rv_conferencia = true;
    bool z_automatica = false;
    bool last_z_automatic = false;
    bool ticket_mode = false;
    int restaurant = 1;          // 0 restaurant, 1 store
    int cupom_conferencia = -1;  // -1 off, else 0..3
    int coupon_spacing = 8;
    bool truncate = false;
    bool cut = true;
    bool align_left = true;
    bool drawer_mode = true;  // false: presenter
    bool cutter = true;       // false: authentication
    bool drawer_level_high = false;

    // Conditions of the mechanism and the memories.
    bool intervention = false;
    bool paper_low = false;
    bool paper_out = false;
    bool clock_error = false;
    bool head_up = false;
    int paper_lines = 0;

    // Counters.
    int coo = 0;  // documents
    int gnf = 0;  // non-fiscal operations
    int crz = 0;  // reductions
    int ccf = 0;  // fiscal receipts
    int cancelled_receipts = 0;
    std::array<int, kTotalizers> totalizer_counts{};
    std::array<int, kGerencialReports> gerencial_counts{};

    // The day's totals since the last reduction (cents).
    std::array<int64_t, kRates> day_rate{};
    std::array<int64_t, kRates> day_rate_quantity{};  // thousandths, for the departments reading
    int64_t day_exempt = 0;
    int64_t day_cancellations = 0;
    int64_t day_discounts = 0;
    int64_t day_surcharges = 0;
    std::array<int64_t, kTotalizers> day_totalizers{};
    int64_t grand_total = 0;
    bool movement = false;     // fiscal documents since the last reduction
    int64_t movement_day = 0;  // printer day (days since 1970) of the first of them
    int64_t last_document_time = 0;
    int64_t last_z_time = 0;

    // The document on paper now, and what the printer knows of the last one.
    OpenDocument doc;
    std::string last_doc_kind;  // "CF", "CF-ANULADO", "X", "Z", "CNF", "RG", "CDC", "MF"
    int last_doc_type = 0;
    int64_t last_receipt_total = 0;
    bool last_receipt_cancelable = false;
    std::vector<Payment> last_receipt_payments;
    std::array<int64_t, kRates> last_receipt_rate{};
    int64_t last_receipt_exempt = 0;
    int last_item_number = 0;
    std::string last_document_text;  // printer bytes

    std::vector<ZRecord> fiscal_memory;
    std::vector<AuditRecord> audit_memory;

    int64_t gprs_busy_until = 0;  // printer clock
    std::string gprs_apn = "internet.movil";

    // ---- Fiscal-memory downloads: the journal of the audit memory, the basic software, the
    // signing keys. Kept together, with their Serialize/Parse lines (SerializeDownloads,
    // ParseDownloadLine in state.cpp).
    std::string model = "Heron 2 TH";  // the identity record and the download identity
    int user = 1;                        // user of the documents printed now (1..255)
    // One journal record per printed document (fiscalmemory/core/journal.h EncodeDocument),
    // in printing order, as many as audit_memory holds (the oldest make room together).
    std::vector<std::string> journal;
    std::string basic_software;  // the software image; made on first use (sim/journal.h)
    std::string rsa_key;         // private key, PEM (PKCS #8); made on first use
    std::string z_key;           // private Ed25519 key of the Z-validation texts, PEM

    PrinterState();  // a printer as it leaves the factory: identity, header, rates and payments set

    // Text form for the state file; Parse refuses anything it does not understand.
    std::string Serialize() const;
    static bool Parse(const std::string& text, PrinterState& out, std::string* error);
};

}  // namespace ordavo::sim
