// The audit-memory download in parts: the printer is asked where a date range lies in its
// audit memory ("62 95 97", repeated until it answers status "04"), the transfer is prepared
// ("62 95 99"), then the first six sectors and the address range in parts of 16 addresses are
// fetched through the fiscal-memory library's TalvDownloadMFDByAddress and appended to one
// output file, and finally the signature of the range ("<output>RSA") is appended as well.
//
// The rules live here, without windows: the window (or the command line) gives a view for the
// status text, the save dialog, the messages and the Cancel button; the library, the command
// execution and the clock of the 4-second waits are interfaces, so tests use fakes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/comando.h"
#include "engine/env.h"
#include "fiscalmemory/core/library_loader.h"

namespace ordavo {

constexpr int kAddressSearchAttempts = 100;
constexpr int kAddressSearchWaitMs = 4000;
constexpr int kAddressesPerPart = 16;
constexpr int kPartRetries = 10;  // further attempts after a part's first one failed
constexpr const char* kAddressFoundStatus = "04";

// A day of the window's date pickers (full year).
struct CalendarDate {
    int day = 1;
    int month = 1;
    int year = 2000;
};

// TalvDownloadMFDByAddress of the fiscal-memory library: kind "1" fetches the addresses
// first..last into file (result 1 when fetched), kind "0" the signature of the range
// (result 0 when fetched).
class AddressLibrary {
public:
    enum class Load { Ok, Missing, NoFunction };
    virtual ~AddressLibrary() = default;
    virtual Load Open() = 0;
    virtual int DownloadByAddress(const std::string& port, const std::string& file, const std::string& kind,
                                  const std::string& first, const std::string& last, const std::string& wait,
                                  int mode) = 0;
    virtual void Close() = 0;
};

// The real one: the "ES" library file whatever the country, found as FiscalLibrary finds it.
class FiscalAddressLibrary : public AddressLibrary {
public:
    Load Open() override;
    int DownloadByAddress(const std::string& port, const std::string& file, const std::string& kind,
                          const std::string& first, const std::string& last, const std::string& wait,
                          int mode) override;
    void Close() override;

private:
    using Function = int (*)(const char*, const char*, const char*, const char*, const char*, const char*, int);
    FiscalLibrary library_;
    Function function_ = nullptr;
};

// Runs a command built in code (Comando::Executar unless a test says otherwise).
class CommandRunner {
public:
    virtual ~CommandRunner() = default;
    virtual int32_t Run(Comando& command) { return command.Executar(); }
};

// What the download shows and asks.
class DownloadPartsView {
public:
    virtual ~DownloadPartsView() = default;
    // The status text changed: show it and repaint now.
    virtual void ShowStatus(const std::string& status) {}
    // The save dialog of the output file; false when cancelled.
    virtual bool ChooseOutputFile(std::string& path) = 0;
    // A plain message box.
    virtual void Message(const std::string& text) = 0;
    // Lets the user interface run; true once the user asked to stop.
    virtual bool CancelRequested() { return false; }
};

class DownloadInParts {
public:
    enum class Outcome {
        Complete,         // every part and the signature appended
        NotFound,         // the printer never answered status "04", or the search failed
        Cancelled,        // the user stopped it
        NoLibrary,        // the library or its function is missing
        NoOutput,         // the save dialog was cancelled, or the output cannot be created
        PartFailed,       // a part failed eleven times, or could not be appended
        SignatureFailed,  // every part is in, the signature is not
    };
    enum class Search { Found, NotFound, SendFailed, Cancelled };

    DownloadInParts(DownloadPartsView& view, AddressLibrary& library, CommandRunner& runner, Clock& clock,
                    std::string port);

    // The whole download of the OK button. The signature is fetched only when every part
    // came in: a signature under an incomplete (or stale) output would never validate.
    Outcome Run(const CalendarDate& from, const CalendarDate& to);

    // The steps, in the order Run takes them.
    Search FindAddresses(const CalendarDate& from, const CalendarDate& to);
    void PrepareDownload();
    Outcome DownloadParts();
    bool DownloadSignature();

    const std::string& Status() const { return status_; }
    const std::string& StartAddress() const { return start_address_; }
    const std::string& EndAddress() const { return end_address_; }
    const std::string& OutputFile() const { return output_file_; }

    // The commands, as sent.
    static Comando SearchCommand(const CalendarDate& from, const CalendarDate& to);
    static Comando PrepareCommand(const std::string& start_address, const std::string& end_address);
    // The address ranges of the parts: 16 addresses each, the last one ending at `end`.
    struct Part {
        int64_t first, last;
    };
    static std::vector<Part> Parts(int64_t start, int64_t end);

private:
    void AddStatus(const std::string& text);
    // Loads the library: "Não carregou DLL!!" when it is missing, nothing said when it lacks
    // the function.
    bool OpenLibrary();
    bool FetchPart(const std::string& part_file, const std::string& first, const std::string& last);

    DownloadPartsView& view_;
    AddressLibrary& library_;
    CommandRunner& runner_;
    Clock& clock_;
    std::string port_;
    std::string status_;
    std::string start_address_, end_address_, output_file_;
};

std::string PartFileName(const std::string& output_file);       // output + ".part"
std::string SignatureFileName(const std::string& output_file);  // output + "RSA"

// Appends the bytes of `source` to `target`, creating `target` when missing. False (target
// unchanged when nothing could be read) when either file cannot be used.
bool AppendFile(const std::string& target, const std::string& source, std::string* error = nullptr);

}  // namespace ordavo
