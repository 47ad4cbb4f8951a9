// One command set through `ordavo-cli run` to the printer simulator over the pseudo-terminal,
// TCP and the exchange files: the answers must read the same on every line. Also the TCP
// peer's side of the exchange (one connection per command, the tag, bad and cut frames), the
// answering side of the exchange files (locks, appends, stale answers), and peers that are
// absent or silent.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <future>
#include <nlohmann/json.hpp>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "engine/catalog.h"
#include "engine/codepage.h"
#include "engine/util.h"
#include "tests/support/paths.h"
#include "tests/support/process.h"
#include "transport/file_interface.h"

namespace ordavo {
namespace {

using nlohmann::json;
using Bytes = std::vector<uint8_t>;

std::string Cli() { return test::ProgramPath("ordavo-cli"); }
std::string Sim() { return test::ProgramPath("ordavo-printer-sim"); }
std::string Vn() { return test::CatalogDir() + "/comandos_vn.xml"; }

// Fixed answers with and without data, a command the printer refuses, a receipt, answers
// that start with the status and end in ETX or NUL, and a GPRS answer.
const char* const kCommandSet[] = {
    "Leer Fecha y Hora",
    "Leer Estado de la Impresora",
    "Vender Artículo",  // no receipt open: the printer refuses it
    "Abrir Cupón Fiscal",
    "Vender Artículo",
    "Iniciar Cierre del Cupón (Totalizar)",
    "Efectuar Pago",
    "Cerrar Cupón Fiscal",
    "Leer Contador de Documentos (COO)",
    "Lectura X por el Puerto Serial",
    "Copia del Último Documento",
    "Verificar Módulo GPRS",
};

// The answers without what depends on the moment they were given.
std::string WithoutTimes(const std::string& text) {
    static const std::regex date(R"(\d{2}/\d{2}/\d{2}(\d{2})?)");
    static const std::regex time(R"(\d{2}:\d{2}(:\d{2})?)");
    return std::regex_replace(std::regex_replace(text, date, "dd/mm/yy"), time, "hh:mm");
}

struct Outcome {
    int status = -1;
    int result = 1;
    std::string text;  // retorno_formatado
    std::string dump;
    std::string error;  // what went wrong running the program
    double seconds = 0;
};

Outcome RunCli(const std::string& dir, const std::string& command, std::vector<std::string> port,
               int timeout_ms = 180000) {
    std::vector<std::string> args = {"run", Vn(), command, "--dir", dir, "--json"};
    args.insert(args.end(), port.begin(), port.end());
    const auto start = std::chrono::steady_clock::now();
    test::RunResult r = test::RunProgram(Cli(), args, timeout_ms);
    Outcome o;
    o.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    o.status = r.status;
    try {
        json j = json::parse(r.out);
        o.result = j["result"];
        o.text = j["retorno_formatado"];
        o.dump = j["dump"];
    } catch (const std::exception& e) {
        o.error = std::string(e.what()) + ": " + r.out + r.err;
    }
    return o;
}

std::vector<std::string> OverPty(const test::Simulator& sim) { return {"--port", sim.path()}; }
std::vector<std::string> OverTcp(const std::string& address) { return {"--port", "SOCKET", "--host", address}; }
std::vector<std::string> OverFiles(const std::string& dir) { return {"--port", "FILE", "--exchange-dir", dir}; }

// The simulator on TCP (any free port of the loopback) or on the exchange files of a fresh
// directory; `address()` is what it printed first.
class Peer {
public:
    Peer(const std::string& mode, std::vector<std::string> options = {}) {
        std::vector<std::string> args;
        if (mode == "--tcp") {
            args = {"--tcp", "127.0.0.1:0"};
        } else {
            args = {"--file", dir_.path()};
        }
        args.push_back("--verbose");
        args.insert(args.end(), options.begin(), options.end());
        process_ = std::make_unique<test::BackgroundProcess>(Sim(), args);
        address_ = process_->FirstLine(10000);
    }
    const std::string& address() const { return address_; }
    const std::string& dir() const { return dir_.path(); }
    std::string Errors() { return process_->Errors(); }
    test::BackgroundProcess& process() { return *process_; }

private:
    test::TempDir dir_;
    std::unique_ptr<test::BackgroundProcess> process_;
    std::string address_;
};

// The TCP peer's own account of every connection, in order: "frame of N bytes, tag T, answer
// of M bytes".
struct Connection {
    int number = 0;
    int frame = 0;
    std::string tag;
    int answer = 0;
};
std::vector<Connection> ConnectionsSeen(const std::string& log) {
    static const std::regex line(R"(connection (\d+): frame of (\d+) bytes, tag ([^,]+), answer of (\d+) bytes)");
    std::vector<Connection> out;
    for (auto it = std::sregex_iterator(log.begin(), log.end(), line); it != std::sregex_iterator(); ++it) {
        out.push_back({std::stoi((*it)[1]), std::stoi((*it)[2]), (*it)[3], std::stoi((*it)[4])});
    }
    return out;
}
int ConnectionsAccepted(const std::string& log) {
    static const std::regex line(R"(connection \d+ from 127\.0\.0\.1:\d+)");
    return static_cast<int>(std::distance(std::sregex_iterator(log.begin(), log.end(), line), std::sregex_iterator()));
}

const Comando& CatalogCommand(const std::string& title_utf8) {
    static std::vector<Comando> list = [] {
        std::vector<Comando> l;
        EXPECT_EQ(CarregarArquivoCatalogo(Vn(), l), 0);
        return l;
    }();
    for (const Comando& c : list)
        if (c.titulo == Utf8ToCp1252(title_utf8)) return c;
    ADD_FAILURE() << "no command " << title_utf8;
    static Comando none;
    return none;
}

// The tag the program puts after the frame of an extended command: the expected answer length,
// or FF FF for one that ends with its terminator.
std::string ExpectedTag(const Comando& c) {
    if (c.tipo != "GPRS" && (c.tamanho_retorno == -1 || c.tamanho_retorno == -2)) return "FF FF";
    const int n = c.tamanho_retorno + 5;
    char text[8];
    std::snprintf(text, sizeof text, "%02X %02X", n & 0xFF, (n >> 8) & 0xFF);
    return text;
}

std::string ReadAll(const std::string& path) {
    std::string s;
    ReadWholeFile(path, s);
    return s;
}

// A frame as the program builds it: STX, NB, FS, escape, parameters, sum.
Bytes MakeFrame(Bytes body) {
    Bytes f = {0x02, 0, 0, 0x1C};
    f.insert(f.end(), body.begin(), body.end());
    const int nb = static_cast<int>(f.size()) - 3 + 2;
    f[1] = static_cast<uint8_t>(nb & 0xFF);
    f[2] = static_cast<uint8_t>(nb >> 8);
    unsigned sum = 0;
    for (size_t i = 3; i < f.size(); ++i) sum += f[i];
    f.push_back(static_cast<uint8_t>(sum & 0xFF));
    f.push_back(static_cast<uint8_t>((sum >> 8) & 0xFF));
    return f;
}
const Bytes kStatusFrame = MakeFrame({19});         // Leer Estado de la Impresora: 06 ST1 ST2 ST3
const Bytes kCooFrame = MakeFrame({35, 6});          // Leer Contador de Documentos: 3 data bytes
const std::string kStatusAnswer = "06 00 00 00 00";  // nothing to report
const std::string kCooAnswer = "06 00 00 00 00 00 00 00";

std::string Hex(const std::string& s) { return HexBytes(reinterpret_cast<const uint8_t*>(s.data()), s.size()); }

// ---------------------------------------------------------------------------- TCP helpers

int Connect(const std::string& address) {
    const size_t colon = address.rfind(':');
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(std::stoi(address.substr(colon + 1))));
    inet_pton(AF_INET, address.substr(0, colon).c_str(), &a.sin_addr);
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// Everything the peer sends until it closes the connection (at most `ms`); `closed` tells
// whether it did.
std::string ReceiveUntilClosed(int fd, int ms, bool* closed) {
    std::string got;
    *closed = false;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        const int left = static_cast<int>(
            std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now()).count());
        if (left <= 0) return got;
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, left) <= 0) return got;
        char buf[4096];
        ssize_t n = recv(fd, buf, sizeof buf, 0);
        if (n <= 0) {
            *closed = true;
            return got;
        }
        got.append(buf, static_cast<size_t>(n));
    }
}

bool SendBytes(int fd, const Bytes& b) {
    return send(fd, b.data(), b.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(b.size());
}

// A port of the loopback that nobody listens on.
std::string UnusedAddress() {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t n = sizeof a;
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &n);
    close(fd);
    return "127.0.0.1:" + std::to_string(ntohs(a.sin_port));
}

// ------------------------------------------------------------------------------- the tests

TEST(Transports, SameAnswersOnEveryLine) {
    test::Simulator pty;
    ASSERT_TRUE(pty.ok()) << pty.process().Errors();
    Peer tcp("--tcp");
    ASSERT_FALSE(tcp.address().empty()) << tcp.Errors();
    Peer files("--file");
    ASSERT_EQ(files.address(), files.dir()) << files.Errors();
    test::TempDir app;

    // An answer left over from an earlier exchange waits in the response file; the program
    // clears it before it writes the frame.
    ASSERT_TRUE(WriteFileAtomically(files.dir() + "/retorno.dat", "\x06\x00\x00\x00\x00 stale"));

    int over_tcp = 0;
    for (const char* title : kCommandSet) {
        SCOPED_TRACE(title);
        const Comando& c = CatalogCommand(title);
        Outcome on_pty = RunCli(app.path(), title, OverPty(pty));
        Outcome on_tcp = RunCli(app.path(), title, OverTcp(tcp.address()));
        ++over_tcp;
        ASSERT_TRUE(on_pty.error.empty()) << on_pty.error;
        ASSERT_TRUE(on_tcp.error.empty()) << on_tcp.error;
        EXPECT_EQ(on_pty.result, 0) << on_pty.text;
        EXPECT_EQ(on_pty.text.find("Error al enviar comando"), std::string::npos) << on_pty.text;
        EXPECT_EQ(on_tcp.result, on_pty.result);
        EXPECT_EQ(WithoutTimes(on_tcp.text), WithoutTimes(on_pty.text));
        if (c.tipo == "GPRS") continue;  // not read through the files (see GprsOverTheExchangeFiles)
        Outcome on_files = RunCli(app.path(), title, OverFiles(files.dir()));
        ASSERT_TRUE(on_files.error.empty()) << on_files.error;
        EXPECT_EQ(on_files.result, on_pty.result);
        EXPECT_EQ(WithoutTimes(on_files.text), WithoutTimes(on_pty.text));
    }

    // The printer said what it should, on every line alike.
    Outcome refused = RunCli(app.path(), "Vender Artículo", OverTcp(tcp.address()));
    ++over_tcp;
    EXPECT_NE(refused.text.find("CF NO ABIERTO"), std::string::npos) << refused.text;

    // One TCP connection per command, each carrying the frame and the tag of the answer
    // length (FF FF for an answer that ends with its terminator).
    const std::string log = tcp.Errors();
    EXPECT_EQ(ConnectionsAccepted(log), over_tcp) << log;
    std::vector<Connection> seen = ConnectionsSeen(log);
    ASSERT_EQ(seen.size(), static_cast<size_t>(over_tcp)) << log;
    for (size_t i = 0; i < std::size(kCommandSet); ++i) {
        const Comando& c = CatalogCommand(kCommandSet[i]);
        SCOPED_TRACE(kCommandSet[i]);
        EXPECT_EQ(seen[i].number, static_cast<int>(i) + 1);
        EXPECT_EQ(seen[i].tag, ExpectedTag(c));
        if (c.tipo != "GPRS" && c.tamanho_retorno >= 0) {
            EXPECT_EQ(seen[i].answer, c.tamanho_retorno + 5);
        }
    }
    // The exchange files hold nothing afterwards: every frame taken, every answer taken.
    EXPECT_EQ(ReadAll(files.dir() + "/comando.dat"), "");
    EXPECT_EQ(ReadAll(files.dir() + "/retorno.dat"), "");
}

// Fails until the engine reads GPRS answers through the exchange files: the simulator answers
// (06 00 00 00 00 00 00 is in "retorno.dat"), but the GPRS reader asks the file transport's
// Read, which reads nothing, and ends the command unanswered.
TEST(Transports, GprsOverTheExchangeFiles) {
    Peer files("--file");
    ASSERT_EQ(files.address(), files.dir()) << files.Errors();
    test::TempDir app;
    Outcome o = RunCli(app.path(), "Verificar Módulo GPRS", OverFiles(files.dir()));
    ASSERT_TRUE(o.error.empty()) << o.error;
    EXPECT_EQ(o.result, 0) << o.text << "\nleft in retorno.dat: " << Hex(ReadAll(files.dir() + "/retorno.dat"));
    EXPECT_NE(o.text.find("Executado"), std::string::npos) << o.text;
}

TEST(Transports, AbsentAndSilentPeersEndUnanswered) {
    test::TempDir app;
    // A control file lets the silent peer speak again afterwards.
    const std::string control = app.File("control");
    ASSERT_TRUE(WriteFileAtomically(control, "silent-after 0\n"));
    Peer silent("--tcp", {"--control", control});
    ASSERT_FALSE(silent.address().empty()) << silent.Errors();
    test::TempDir no_peer;

    // All three wait at once; each must end on its own time-outs.
    auto absent_tcp = std::async(std::launch::async, [&] {
        return RunCli(app.path(), "Leer Fecha y Hora", OverTcp(UnusedAddress()), 90000);
    });
    auto silent_tcp = std::async(std::launch::async, [&] {
        return RunCli(app.path(), "Lectura X por el Puerto Serial", OverTcp(silent.address()), 90000);
    });
    auto absent_files = std::async(std::launch::async, [&] {
        return RunCli(app.path(), "Leer Fecha y Hora", OverFiles(no_peer.path()), 90000);
    });
    for (auto* f : {&absent_tcp, &silent_tcp, &absent_files}) {
        Outcome o = f->get();
        ASSERT_TRUE(o.error.empty()) << o.error;
        EXPECT_EQ(o.status, 4);
        EXPECT_EQ(o.result, -4);
        EXPECT_NE(o.text.find("Error al enviar comando"), std::string::npos) << o.text;
        // 52 failed reads with 300 ms pauses, or 12 reads of 2 s: well under a minute.
        EXPECT_LT(o.seconds, 60.0);
    }
    // The silent peer held the connection until the program gave up, and then serves again.
    ASSERT_TRUE(WriteFileAtomically(control, "normal\n"));
    Outcome again = RunCli(app.path(), "Leer Estado de la Impresora", OverTcp(silent.address()));
    EXPECT_EQ(again.result, 0) << again.text << again.error;
    EXPECT_EQ(ConnectionsAccepted(silent.Errors()), 2) << silent.Errors();
    // Nothing was left behind by the command without a peer but its own frame.
    EXPECT_EQ(Hex(ReadAll(no_peer.File("comando.dat"))), "02 05 00 1C 23 17 56 00");
}

TEST(Transports, TcpPeerTakesOneFramePerConnection) {
    Peer tcp("--tcp");
    ASSERT_FALSE(tcp.address().empty()) << tcp.Errors();
    bool closed = false;
    {
        // The frame, the tag, the answer, and the peer closes.
        int fd = Connect(tcp.address());
        ASSERT_GE(fd, 0);
        Bytes out = kCooFrame;
        out.push_back(8);
        out.push_back(0);
        ASSERT_TRUE(SendBytes(fd, out));
        EXPECT_EQ(Hex(ReceiveUntilClosed(fd, 5000, &closed)), kCooAnswer);
        EXPECT_TRUE(closed);
        close(fd);
    }
    {
        // Frame and tag in separate pieces, the tag 258 as 02 01.
        int fd = Connect(tcp.address());
        ASSERT_GE(fd, 0);
        ASSERT_TRUE(SendBytes(fd, Bytes(kStatusFrame.begin(), kStatusFrame.begin() + 3)));
        usleep(50 * 1000);
        ASSERT_TRUE(SendBytes(fd, Bytes(kStatusFrame.begin() + 3, kStatusFrame.end())));
        ASSERT_TRUE(SendBytes(fd, {0x02, 0x01}));
        EXPECT_EQ(Hex(ReceiveUntilClosed(fd, 5000, &closed)), kStatusAnswer);
        EXPECT_TRUE(closed);
        close(fd);
    }
    {
        // A frame whose sum is wrong gets NAK.
        int fd = Connect(tcp.address());
        Bytes bad = kStatusFrame;
        bad.back() ^= 1;
        bad.push_back(5);
        bad.push_back(0);
        ASSERT_TRUE(SendBytes(fd, bad));
        EXPECT_EQ(Hex(ReceiveUntilClosed(fd, 5000, &closed)), "15");
        EXPECT_TRUE(closed);
        close(fd);
    }
    {
        // Half a frame, then silence: NAK after half a second.
        int fd = Connect(tcp.address());
        ASSERT_TRUE(SendBytes(fd, Bytes(kCooFrame.begin(), kCooFrame.begin() + 4)));
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(Hex(ReceiveUntilClosed(fd, 5000, &closed)), "15");
        EXPECT_TRUE(closed);
        EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(400));
        close(fd);
    }
    {
        // A frame without its tag is still answered, once the tag has had its time.
        int fd = Connect(tcp.address());
        ASSERT_TRUE(SendBytes(fd, kStatusFrame));
        EXPECT_EQ(Hex(ReceiveUntilClosed(fd, 5000, &closed)), kStatusAnswer);
        close(fd);
    }
    {
        // A connection closed without a frame costs nothing.
        int fd = Connect(tcp.address());
        close(fd);
    }
    test::TempDir app;
    Outcome after = RunCli(app.path(), "Leer Contador de Documentos (COO)", OverTcp(tcp.address()));
    EXPECT_EQ(after.result, 0) << after.text << after.error;

    const std::string log = tcp.Errors();
    EXPECT_EQ(ConnectionsAccepted(log), 7) << log;
    std::vector<Connection> seen = ConnectionsSeen(log);
    ASSERT_EQ(seen.size(), 4u) << log;  // the answered ones
    EXPECT_EQ(seen[0].number, 1);
    EXPECT_EQ(seen[1].number, 2);
    EXPECT_EQ(seen[2].number, 5);
    EXPECT_EQ(seen[3].number, 7);
    EXPECT_EQ(seen[0].tag, "08 00");
    EXPECT_EQ(seen[1].tag, "02 01");
    EXPECT_EQ(seen[2].tag, "missing");
    EXPECT_EQ(seen[3].tag, "08 00");
    EXPECT_EQ(seen[3].answer, 8);
    EXPECT_NE(log.find("bad checksum"), std::string::npos) << log;
    EXPECT_NE(log.find("frame cut short"), std::string::npos) << log;
}

TEST(Transports, AnsweringSideOfTheExchangeFiles) {
    Peer files("--file");
    ASSERT_EQ(files.address(), files.dir()) << files.Errors();
    const std::string request = files.dir() + "/comando.dat";
    const std::string response = files.dir() + "/retorno.dat";
    auto wait_for = [&](size_t size) {
        for (int i = 0; i < 300 && ReadAll(response).size() < size; ++i) usleep(10 * 1000);
        return ReadAll(response);
    };

    // The answering side reads "comando.dat" and appends to "retorno.dat": what is there stays.
    ASSERT_TRUE(WriteFileAtomically(response, "XYZ"));
    {
        int fd = open(request.c_str(), O_WRONLY | O_APPEND);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(write(fd, kStatusFrame.data(), kStatusFrame.size()), static_cast<ssize_t>(kStatusFrame.size()));
        close(fd);
    }
    EXPECT_EQ(Hex(wait_for(8)), "58 59 5A " + kStatusAnswer);
    EXPECT_EQ(ReadAll(request), "");  // taken

    // Two frames appended back to back by the program's side get two answers, in order.
    {
        FileInterface side(files.dir());
        ASSERT_EQ(side.Open(0), 1) << side.LastError();
        ASSERT_EQ(side.Purge(), 1);
        uint32_t written = 0;
        ASSERT_EQ(side.PutRequest(kStatusFrame.data(), static_cast<int>(kStatusFrame.size()), &written), 1);
        ASSERT_EQ(side.PutRequest(kCooFrame.data(), static_cast<int>(kCooFrame.size()), &written), 1);
        std::string got;
        for (int i = 0; i < 300 && got.size() < 13; ++i) {
            uint8_t buf[64];
            uint32_t n = 0;
            side.TakeResponse(buf, sizeof buf, &n);
            got.append(reinterpret_cast<char*>(buf), n);
            usleep(10 * 1000);
        }
        EXPECT_EQ(Hex(got), kStatusAnswer + " " + kCooAnswer);
    }

    // While the program holds the lock on "retorno.dat" the answer waits; it is appended whole
    // once the lock is released.
    {
        int held = open(response.c_str(), O_RDWR);
        ASSERT_GE(held, 0);
        ASSERT_EQ(ftruncate(held, 0), 0);
        ASSERT_EQ(flock(held, LOCK_EX), 0);
        int fd = open(request.c_str(), O_WRONLY | O_APPEND);
        ASSERT_EQ(write(fd, kCooFrame.data(), kCooFrame.size()), static_cast<ssize_t>(kCooFrame.size()));
        close(fd);
        usleep(1500 * 1000);  // longer than the simulator waits for a lock at a time
        EXPECT_EQ(ReadAll(response), "");
        flock(held, LOCK_UN);
        close(held);
        EXPECT_EQ(Hex(wait_for(8)), kCooAnswer);
    }

    // Half a frame and nothing more: NAK once the rest has had half a second to come.
    {
        ASSERT_TRUE(WriteFileAtomically(response, ""));
        int fd = open(request.c_str(), O_WRONLY | O_APPEND);
        ASSERT_EQ(write(fd, kCooFrame.data(), 4), 4);
        close(fd);
        EXPECT_EQ(Hex(wait_for(1)), "15");
        EXPECT_NE(files.Errors().find("frame cut short"), std::string::npos);
    }
}

TEST(Transports, SimulatorLines) {
    // One line at a time, and only lines that can be.
    for (std::vector<std::string> bad : std::vector<std::vector<std::string>>{
             {"--tcp", "127.0.0.1:70000"},
             {"--tcp", "x"},
             {"--tcp", ":21"},
             {"--tcp", "0", "--file", "/tmp"},
             {"--pty", "/tmp/p", "--tcp", "0"},
             {}}) {
        test::RunResult r = test::RunProgram(Sim(), bad, 10000);
        EXPECT_EQ(r.status, 64) << r.err;
        EXPECT_FALSE(r.err.empty());
    }
    test::TempDir dir;
    test::RunResult r = test::RunProgram(Sim(), {"--file", dir.File("missing")}, 10000);
    EXPECT_EQ(r.status, 66) << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir.File("missing")));

    // PORT alone listens on the loopback; the first line names the port actually taken; a
    // stop signal ends it cleanly.
    test::BackgroundProcess tcp(Sim(), {"--tcp", "0"});
    const std::string first = tcp.FirstLine(10000);
    ASSERT_TRUE(std::regex_match(first, std::regex(R"(127\.0\.0\.1:\d+)"))) << first;
    EXPECT_NE(first, "127.0.0.1:0");
    tcp.Signal(SIGTERM);
    EXPECT_EQ(tcp.Wait(5000), 0);

    test::BackgroundProcess files(Sim(), {"--file", dir.path()});
    EXPECT_EQ(files.FirstLine(10000), dir.path());
    files.Signal(SIGTERM);
    EXPECT_EQ(files.Wait(5000), 0);
}

}  // namespace
}  // namespace ordavo
