#include "fiscalmemory/core/download_parts.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include "engine/strings.h"
#include "engine/util.h"

namespace ordavo {
namespace {

const char* const kNotFound = "N\xE3o achou!!";
const char* const kNoLibrary = "N\xE3o carregou DLL!!";
const char* const kPartError = "Erro no download!";
const char* const kNoSignature = "N\xE3o foi possivel pegar assinatura!!";

constexpr const char* kFirstWait = "100";  // a part's first attempt
constexpr const char* kRetryWait = "10";   // its further attempts, and the signature

Parametro Param(int32_t size, const char* format, const std::string& value) {
    Parametro p;
    p.tamanho = size;
    p.formato = format;
    p.valor = value;
    return p;
}

Retorno Field(int32_t size, const char* title) {
    Retorno r;
    r.tamanho = size;
    r.titulo = title;
    r.formato = "BCD_INTEGER";
    return r;
}

std::string LastEight(const std::string& text) { return text.size() > 8 ? text.substr(text.size() - 8) : text; }

std::string Address(int64_t value) { return Format("%08lld", static_cast<long long>(value)); }

bool WriteAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

// ---------------------------------------------------------------- the library

AddressLibrary::Load FiscalAddressLibrary::Open() {
    function_ = nullptr;
    if (!library_.Load(kFiscalLibraryES)) return Load::Missing;
    function_ = library_.Find<Function>("TalvDownloadMFDByAddress");
    return function_ ? Load::Ok : Load::NoFunction;
}

int FiscalAddressLibrary::DownloadByAddress(const std::string& port, const std::string& file, const std::string& kind,
                                            const std::string& first, const std::string& last,
                                            const std::string& wait, int mode) {
    if (!function_) return -1;
    return function_(port.c_str(), file.c_str(), kind.c_str(), first.c_str(), last.c_str(), wait.c_str(), mode);
}

void FiscalAddressLibrary::Close() {
    function_ = nullptr;
    library_.Release();
}

// ---------------------------------------------------------------- files

std::string PartFileName(const std::string& output_file) { return output_file + ".part"; }
std::string SignatureFileName(const std::string& output_file) { return output_file + "RSA"; }

bool AppendFile(const std::string& target, const std::string& source, std::string* error) {
    auto fail = [&](const std::string& path) {
        if (error) *error = path + ": " + std::strerror(errno);
        return false;
    };
    int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return fail(source);
    std::string bytes;
    char buf[65536];
    for (;;) {
        ssize_t n = ::read(in, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            int saved = errno;
            ::close(in);
            errno = saved;
            return fail(source);
        }
        if (n == 0) break;
        bytes.append(buf, static_cast<size_t>(n));
    }
    ::close(in);
    int out = ::open(target.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (out < 0) return fail(target);
    bool ok = WriteAll(out, bytes.data(), bytes.size());
    int saved = errno;
    if (::close(out) != 0 && ok) {
        saved = errno;
        ok = false;
    }
    errno = saved;
    return ok || fail(target);
}

// ---------------------------------------------------------------- the download

DownloadInParts::DownloadInParts(DownloadPartsView& view, AddressLibrary& library, CommandRunner& runner,
                                 Clock& clock, std::string port)
    : view_(view), library_(library), runner_(runner), clock_(clock), port_(std::move(port)) {}

Comando DownloadInParts::SearchCommand(const CalendarDate& from, const CalendarDate& to) {
    auto date = [](const CalendarDate& d) { return Format("%02d/%02d/%02d", d.day, d.month, d.year % 100); };
    Comando c;
    c.SetTitulo("Buscar Direcciones MFD");
    c.SetEscape("62 95 97");
    c.SetTamanhoRetorno(9);
    c.AdicionarParametro(Param(1, "OPTIONS", "D"));
    c.AdicionarParametro(Param(6, "DATA", date(from)));
    c.AdicionarParametro(Param(6, "DATA", date(to)));
    c.AdicionarRetorno(Field(1, "Status"));
    c.AdicionarRetorno(Field(4, "Direcci\xF3n Inicial"));
    c.AdicionarRetorno(Field(4, "Direcci\xF3n Final"));
    return c;
}

Comando DownloadInParts::PrepareCommand(const std::string& start_address, const std::string& end_address) {
    Comando c;
    c.SetTitulo("Preparar Download MFD");
    c.SetEscape("62 95 99");
    c.SetTamanhoRetorno(0);
    c.AdicionarParametro(Param(4, "INTEGER", "0000"));
    c.AdicionarParametro(Param(4, "INTEGER", "2048"));
    c.AdicionarParametro(Param(8, "INTEGER", "00000000"));
    c.AdicionarParametro(Param(8, "INTEGER", "00000006"));
    c.AdicionarParametro(Param(8, "INTEGER", LastEight(start_address)));
    c.AdicionarParametro(Param(8, "INTEGER", LastEight(end_address)));
    return c;
}

std::vector<DownloadInParts::Part> DownloadInParts::Parts(int64_t start, int64_t end) {
    std::vector<Part> parts;
    if (end <= start) return parts;
    const int64_t span = end - start;
    const int64_t count = span / kAddressesPerPart + (span % kAddressesPerPart > 0 ? 1 : 0);
    parts.reserve(static_cast<size_t>(count));
    for (int64_t i = 0; i < count; ++i)
        parts.push_back({start + kAddressesPerPart * i, std::min(start + kAddressesPerPart * (i + 1), end)});
    return parts;
}

void DownloadInParts::AddStatus(const std::string& text) {
    status_ += text;
    view_.ShowStatus(status_);
}

DownloadInParts::Search DownloadInParts::FindAddresses(const CalendarDate& from, const CalendarDate& to) {
    for (int attempt = 0; attempt < kAddressSearchAttempts; ++attempt) {
        Comando c = SearchCommand(from, to);
        if (runner_.Run(c) != kExecOk) {
            view_.Message(Str(IDS_ERROR_ENVIAR));
            return Search::SendFailed;
        }
        const std::string& status = c.retornos[0].valor_formatado;
        const std::string& start = c.retornos[1].valor_formatado;
        const std::string& end = c.retornos[2].valor_formatado;
        status_ = "\r\nSTATUS" + status + "\r\nEndere\xE7o inicial:" + start + "\r\nEndere\xE7o final:" + end;
        view_.ShowStatus(status_);
        clock_.SleepMs(kAddressSearchWaitMs);
        if (status == kAddressFoundStatus) {
            start_address_ = start;
            end_address_ = end;
            return Search::Found;
        }
        if (view_.CancelRequested()) return Search::Cancelled;
    }
    return Search::NotFound;
}

void DownloadInParts::PrepareDownload() {
    Comando c = PrepareCommand(start_address_, end_address_);
    if (runner_.Run(c) != kExecOk) view_.Message(Str(IDS_ERROR_ENVIAR));
    view_.ShowStatus(status_);
}

bool DownloadInParts::FetchPart(const std::string& part_file, const std::string& first, const std::string& last) {
    // What the library does not write must not be taken from an older part.
    std::remove(part_file.c_str());
    if (library_.DownloadByAddress(port_, part_file, "1", first, last, kFirstWait, 1) == 1) return true;
    for (int retry = 0; retry < kPartRetries; ++retry) {
        std::remove(part_file.c_str());
        if (library_.DownloadByAddress(port_, part_file, "1", first, last, kRetryWait, 1) == 1) return true;
    }
    return false;
}

bool DownloadInParts::OpenLibrary() {
    switch (library_.Open()) {
        case AddressLibrary::Load::Ok:
            return true;
        case AddressLibrary::Load::Missing:
            view_.Message(kNoLibrary);
            return false;
        case AddressLibrary::Load::NoFunction:
            library_.Close();
            return false;
    }
    return false;
}

DownloadInParts::Outcome DownloadInParts::DownloadParts() {
    if (!OpenLibrary()) return Outcome::NoLibrary;
    struct Release {
        AddressLibrary& library;
        ~Release() { library.Close(); }
    } release{library_};

    std::string chosen;
    if (!view_.ChooseOutputFile(chosen) || chosen.empty()) return Outcome::NoOutput;
    output_file_ = chosen;
    const std::string part_file = PartFileName(output_file_);
    // The user agreed to replace the file: the parts go into an empty one, not after whatever
    // an older download left there.
    if (!WriteFileAtomically(output_file_, "")) {
        view_.Message(Str(IDS_NO_CREAR_ARCHIVO));
        return Outcome::NoOutput;
    }

    AddStatus("\r\nFazendo download dos 6 setoreres iniciais da MFD..");
    std::remove(part_file.c_str());
    library_.DownloadByAddress(port_, part_file, "1", "00000000", "00000006", kFirstWait, 1);
    if (!AppendFile(output_file_, part_file)) {
        // Without the initial sectors the output is no audit file at all.
        view_.Message(kPartError);
        return Outcome::PartFailed;
    }

    for (const Part& part : Parts(AtoiC(start_address_), AtoiC(end_address_))) {
        if (view_.CancelRequested()) return Outcome::Cancelled;
        const std::string first = Address(part.first), last = Address(part.last);
        AddStatus("\r\nEnd ini:" + first + " End final:" + last);
        if (!FetchPart(part_file, first, last) || !AppendFile(output_file_, part_file)) {
            view_.Message(kPartError);
            return Outcome::PartFailed;
        }
    }
    return Outcome::Complete;
}

bool DownloadInParts::DownloadSignature() {
    if (!OpenLibrary()) return false;
    const std::string signature_file = SignatureFileName(output_file_);
    std::remove(signature_file.c_str());
    int result = library_.DownloadByAddress(port_, signature_file, "0", start_address_, end_address_, kRetryWait, 2);
    library_.Close();
    if (result != 0 || !AppendFile(output_file_, signature_file)) {
        view_.Message(kNoSignature);
        return false;
    }
    return true;
}

DownloadInParts::Outcome DownloadInParts::Run(const CalendarDate& from, const CalendarDate& to) {
    switch (FindAddresses(from, to)) {
        case Search::Found:
            break;
        case Search::Cancelled:
            AddStatus("\r\n" + Str(IDS_DOWNLOAD_ANULADO));
            return Outcome::Cancelled;
        case Search::NotFound:
        case Search::SendFailed:
            view_.Message(kNotFound);
            return Outcome::NotFound;
    }
    PrepareDownload();
    Outcome parts = DownloadParts();
    if (parts == Outcome::Cancelled) AddStatus("\r\n" + Str(IDS_DOWNLOAD_ANULADO));
    if (parts != Outcome::Complete) return parts;
    return DownloadSignature() ? Outcome::Complete : Outcome::SignatureFailed;
}

}  // namespace ordavo
