// Commands against ports that fail for real: a printer whose link goes away in the middle of
// an answer, ports that do not exist or are held by another program, peers that refuse. The
// command must end soon, without burning the processor, and say why.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "engine/comando.h"
#include "engine/env.h"
#include "engine/failure_reason.h"
#include "tests/support/paths.h"
#include "transport/serial_interface.h"

namespace ordavo {
namespace {

using SteadyClock = std::chrono::steady_clock;

double CpuSeconds() {
    struct timespec ts {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

// A progress window that presses Cancel by itself after a while, so that a command that would
// otherwise read for ever still ends.
class TimedCancelProgress : public ProgressWindow {
public:
    explicit TimedCancelProgress(int after_ms)
        : deadline_(SteadyClock::now() + std::chrono::milliseconds(after_ms)) {}
    void PumpMessages(bool) override {
        if (!IsCancelled() && SteadyClock::now() >= deadline_) Cancel();
    }

private:
    SteadyClock::time_point deadline_;
};

class TimedCancelUi : public UserInterface {
public:
    std::unique_ptr<ProgressWindow> CreateProgress(const std::string&, bool) override {
        return std::make_unique<TimedCancelProgress>(2500);
    }
};

// Reads what the program sends until it has been quiet for a moment.
void Swallow(int fd) {
    for (;;) {
        struct pollfd p = {fd, POLLIN, 0};
        if (poll(&p, 1, 150) <= 0) return;
        uint8_t buf[256];
        if (read(fd, buf, sizeof buf) <= 0) return;
    }
}

// The printer's side of a link that goes away: takes the frame, sends the status part and one
// text byte of a status-first answer, and then the link is gone.
const std::vector<uint8_t> kHalfAnswer = {0x06, 0x00, 0x00, 0x41};

class LinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetEngineEnv();
        settings.ExtendedReturn = 0;
        settings.AppDirectory = dir.path();
        EngineEnv().settings = &settings;
        EngineEnv().ui = &ui;
    }
    void TearDown() override { ResetEngineEnv(); }

    Comando StatusFirst() {
        Comando c;
        c.SetTitulo("Leer texto");
        c.SetEscape("35 50");
        c.SetTamanhoRetorno(-1);
        return c;
    }

    test::TempDir dir;
    Settings settings;
    TimedCancelUi ui;
};

TEST_F(LinkTest, ALinkThatGoesAwayInTheMiddleOfAnAnswerEndsItAtOnceWithoutSpinning) {
    struct Case {
        const char* name;
        // Sets the port up and returns the printer's side; the side runs on its own thread.
        std::function<std::function<void()>(Settings&)> make;
    };
    const std::vector<Case> cases = {
        {"a pseudo-terminal whose other side closes",
         [](Settings& s) -> std::function<void()> {
             int master = posix_openpt(O_RDWR | O_NOCTTY);
             if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return nullptr;
             s.PortName = ptsname(master);
             return [master] {
                 Swallow(master);
                 (void)!write(master, kHalfAnswer.data(), kHalfAnswer.size());
                 std::this_thread::sleep_for(std::chrono::milliseconds(200));
                 close(master);
             };
         }},
        {"a TCP peer that closes the connection",
         [](Settings& s) -> std::function<void()> {
             int listener = socket(AF_INET, SOCK_STREAM, 0);
             struct sockaddr_in a {};
             a.sin_family = AF_INET;
             a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
             if (bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(listener, 1) != 0)
                 return nullptr;
             socklen_t length = sizeof a;
             getsockname(listener, reinterpret_cast<sockaddr*>(&a), &length);
             s.PortName = "SOCKET";
             s.SocketPeer = "127.0.0.1:" + std::to_string(ntohs(a.sin_port));
             return [listener] {
                 struct pollfd p = {listener, POLLIN, 0};
                 if (poll(&p, 1, 5000) > 0) {
                     int fd = accept(listener, nullptr, nullptr);
                     Swallow(fd);
                     (void)!write(fd, kHalfAnswer.data(), kHalfAnswer.size());
                     std::this_thread::sleep_for(std::chrono::milliseconds(200));
                     close(fd);
                 }
                 close(listener);
             };
         }},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        std::function<void()> printer = k.make(settings);
        ASSERT_TRUE(printer) << "cannot set the link up";
        std::thread side(printer);
        Comando c = StatusFirst();
        const double cpu = CpuSeconds();
        const auto start = SteadyClock::now();
        int32_t result = c.Executar();
        const double cpu_used = CpuSeconds() - cpu;
        const auto wall = std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now() - start).count();
        side.join();
        EXPECT_EQ(result, -4) << c.retorno_formatado;
        EXPECT_NE(c.retorno_formatado.find("Error al enviar comando\r\nMotivo: se perdi\xF3 la conexi\xF3n"),
                  std::string::npos)
            << c.retorno_formatado;
        EXPECT_EQ(c.motivo.rfind(kMotivoPrefixo, 0), 0u) << c.motivo;
        EXPECT_LT(wall, 2000);
        EXPECT_LT(cpu_used, 0.3) << "the answer loop spun on a dead link";
    }
}

TEST_F(LinkTest, APortThatCannotBeOpenedEndsTheCommandAtOnceAndSaysWhy) {
    // Another program holds this one.
    int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    const std::string held_path = ptsname(master);
    WinSerialInterface holder(held_path.c_str());
    ASSERT_EQ(holder.Open(9600), 1) << holder.LastError();

    struct Case {
        std::string port;
        std::string peer;
        std::vector<std::string> said;  // in the reason line, in this order
    };
    const std::vector<Case> cases = {
        {"/dev/ttyNOSUCHPORT", "", {"no se pudo abrir el puerto /dev/ttyNOSUCHPORT", "No such file or directory",
                                    "revise el nombre del puerto"}},
        {held_path, "", {"no se pudo abrir el puerto " + held_path, "port in use"}},
        // Port 1 on the loopback address: nothing listens there.
        {"SOCKET", "127.0.0.1:1", {"no se pudo conectar", "127.0.0.1:1", "refused", "rechaz\xF3 la conexi\xF3n"}},
        {"FILE", "", {"no se pudo abrir el archivo de intercambio", "no/such/dir"}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.port);
        settings.PortName = k.port;
        settings.SocketPeer = k.peer;
        settings.ExchangeDirectory = dir.File("no/such/dir");
        Comando c;
        c.SetTitulo("Estado");
        c.SetEscape("35 23");
        c.SetTamanhoRetorno(0);
        const auto start = SteadyClock::now();
        EXPECT_EQ(c.Executar(), -4);
        EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now() - start).count(), 1500);
        const std::string& text = c.retorno_formatado;
        size_t line = text.find("Error al enviar comando\r\nMotivo: ");
        ASSERT_NE(line, std::string::npos) << text;
        size_t at = line;
        for (const std::string& piece : k.said) {
            size_t found = text.find(piece, at);
            EXPECT_NE(found, std::string::npos) << "\"" << piece << "\" missing in: " << text;
            if (found != std::string::npos) at = found;
        }
        EXPECT_EQ(c.dump, "CMD: " + c.dump.substr(5, c.dump.find("\r\n") - 5) + "\r\nRET: \r\n");
    }
    holder.Close();
    close(master);
}

TEST(FailureReasonTest, TheUsualFailuresSayWhatFixesThem) {
    struct Case {
        std::string port, error, fix;
    };
    const std::vector<Case> cases = {
        {"COM3:", "/dev/ttyS2: Permission denied", "grupo dialout"},
        {"/dev/ttyUSB0", "/dev/ttyUSB0: No such file or directory", "revise el nombre del puerto"},
        {"/dev/ttyUSB0", "/dev/ttyUSB0: the port is in use", "port in use"},
        {"/dev/ttyUSB0", "/dev/ttyUSB0: the port is in use: Device or resource busy", "otro programa"},
        {"USB", "libusb_open: Access denied (insufficient permissions)", "regla udev"},
        {"USB", "no USB printer found", "ninguna impresora USB conectada"},
        {"SOCKET", "10.0.0.9:21: no connection within 3000 ms", "no contest\xF3"},
        {"SOCKET", "127.0.0.1:21: Connection refused", "rechaz\xF3"},
    };
    for (const Case& k : cases) {
        std::string line = MotivoAbertura(k.port, k.error);
        EXPECT_EQ(line.rfind("Motivo: ", 0), 0u) << line;
        EXPECT_NE(line.find(k.error), std::string::npos) << line;
        EXPECT_NE(line.find(k.fix), std::string::npos) << line;
    }
    EXPECT_NE(MotivoSilencio("COM1:", 67600, 0, 3).find("no respondi\xF3 durante 68 s"), std::string::npos);
    EXPECT_NE(MotivoSilencio("COM1:", 5000, 2, 7).find("despu\xE9s de 2 de 7 bytes (5 s"), std::string::npos);
    EXPECT_NE(MotivoCancelado().find("cancelado por el usuario"), std::string::npos);
}

}  // namespace
}  // namespace ordavo
