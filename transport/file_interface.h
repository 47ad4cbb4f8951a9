// The exchange-file pair: frames are appended to "comando.dat" and the answers are taken from
// "retorno.dat", both in a directory that this program and the answering program agree on.
// Opened in a mode other than 0 the same class plays the answering side.
#pragma once

#include <cstdint>
#include <string>

#include "transport/printer_interface.h"

namespace ordavo {

struct Settings;

class FileInterface : public FilePairTransport {
public:
    static constexpr const char* kRequestFile = "comando.dat";
    static constexpr const char* kResponseFile = "retorno.dat";

    // The pair lives in `directory` ("" = the current directory).
    explicit FileInterface(std::string directory);
    ~FileInterface() override;

    // The directory of the pair: Settings.ExchangeDirectory, or Settings.AppDirectory when that
    // is empty.
    static std::string DirectoryFor(const Settings& settings);

    // `baud_rate` is the mode: 0 = command side (reads "retorno.dat" and, as a new command
    // starts, deletes the frames of an earlier one from "comando.dat"), other = answering side
    // (reads "comando.dat"). 1 when the incoming file is open.
    int Open(int baud_rate) override;
    void Close() override;
    int Write(const uint8_t* buffer, int count, int tag) override;  // not used: 0
    int Read(uint8_t* buffer, int count, int timeout_ms) override;  // not used: 0
    // Discards what is waiting in the incoming file; 1 when all of it was discarded.
    int Purge() override;
    // Appends the buffer to the outgoing file; `written` gets the bytes written. 1 when all were.
    int PutRequest(const uint8_t* buffer, int count, uint32_t* written) override;
    // Takes up to `count` bytes from the front of the incoming file; `received` gets their
    // number. Bytes beyond them stay in the file for the next call. 0 only on an I/O error.
    int TakeResponse(uint8_t* buffer, int count, uint32_t* received) override;
    // The bytes waiting in the incoming file (0 when it is not open).
    uint32_t PendingBytes() override;

    std::string IncomingPath() const;
    std::string OutgoingPath() const;
    std::string LastError() const override { return last_error_; }

private:
    std::string PathOf(const char* name) const;
    bool RemovePrefix(uint64_t n);

    std::string directory_;
    int mode_ = 0;
    int fd_ = -1;
    std::string last_error_;
};

}  // namespace ordavo
