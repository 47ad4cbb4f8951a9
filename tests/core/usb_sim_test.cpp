// Real commands of the Venezuelan catalog through the engine, UsbInterface and TalvUsbPrinter
// to the simulated printer on an in-process USB device: answers arrive in pieces of 0 to 8
// bytes between idle markers and must read exactly as the same printer's answers on a plain
// line. Also the printer unplugged between commands, a printer that falls silent, a refused
// frame, and a frame long enough to need two bulk writes.
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "engine/catalog.h"
#include "engine/codepage.h"
#include "engine/comando.h"
#include "engine/env.h"
#include "tests/support/fake_clock.h"
#include "tests/support/paths.h"
#include "tests/support/usb_sim_backend.h"
#include "transport/usb/talvusbprinter.h"
#include "transport/usb_interface.h"

namespace ordavo {
namespace {

using test::UsbSimBackend;

// The same kind of printer on a plain line: written bytes go to its frame parser, reads take
// its answer; nothing in between.
class PlainLine : public PrinterInterface {
public:
    explicit PlainLine(sim::Responder& printer) : printer_(printer) {}
    int Open(int) override { return 1; }
    void Close() override {}
    int Write(const uint8_t* buffer, int count, int) override {
        for (int i = 0; i < count; ++i) {
            sim::FrameParser::Event e = parser_.Feed(buffer[i]);
            if (e == sim::FrameParser::Event::kFrame) {
                sim::Reply r = printer_.Answer(parser_.frame());
                answer_.insert(answer_.end(), r.bytes.begin(), r.bytes.end());
            } else if (e == sim::FrameParser::Event::kRefused) {
                answer_.push_back(0x15);
            }
        }
        return 1;
    }
    int Read(uint8_t* buffer, int count, int) override {
        if (answer_.size() < static_cast<size_t>(count)) return 0;
        std::copy_n(answer_.begin(), count, buffer);
        answer_.erase(answer_.begin(), answer_.begin() + count);
        return 1;
    }
    int Purge() override {
        answer_.clear();
        return 1;
    }

private:
    sim::Responder& printer_;
    sim::FrameParser parser_;
    std::deque<uint8_t> answer_;
};

struct PlainPrinter {
    sim::Options options;
    sim::Catalog catalog;
    std::unique_ptr<sim::Printer> printer;
    std::unique_ptr<sim::Responder> responder;
    PlainPrinter() {
        std::string error;
        EXPECT_TRUE(catalog.Load(test::CatalogDir() + "/comandos_vn.xml", &error, nullptr)) << error;
        EXPECT_TRUE(catalog.Load(test::CatalogDir() + "/comandos_cl.xml", &error, nullptr)) << error;
        printer = std::make_unique<sim::Printer>(sim::PrinterState(), &catalog);
        responder = std::make_unique<sim::Responder>(options, *printer);
    }
};

// The engine with its transport factory pointing at a USB printer object over the model (or
// at a plain line), a fake clock for its pauses, and a scratch application directory for the
// log.
struct Rig {
    test::TempDir dir;
    test::FakeClock clock;
    Settings settings;
    UsbSimBackend* device = nullptr;
    std::unique_ptr<TalvUsbPrinter> usb;
    PlainPrinter plain;
    std::vector<Comando> catalog;

    Rig() {
        ResetEngineEnv();
        auto backend = std::make_unique<UsbSimBackend>();
        device = backend.get();
        usb = std::make_unique<TalvUsbPrinter>(std::move(backend));
        settings.AppDirectory = dir.path();
        settings.ExtendedReturn = 1;
        settings.PortName = "USB";
        Environment& env = EngineEnv();
        env.settings = &settings;
        env.clock = &clock;
        env.transport_factory = [this](const std::string& port, const Settings&) -> std::unique_ptr<PrinterInterface> {
            if (port == "USB") return std::make_unique<UsbInterface>(*usb);
            if (port == "LINE") return std::make_unique<PlainLine>(*plain.responder);
            return nullptr;
        };
        EXPECT_EQ(CarregarArquivoCatalogo(test::CatalogDir() + "/comandos_vn.xml", catalog), 0);
    }
    ~Rig() { ResetEngineEnv(); }

    // A fresh copy of the catalog command with this title (UTF-8).
    Comando Command(const std::string& title) {
        const std::string wanted = Utf8ToCp1252(title);
        for (const Comando& c : catalog)
            if (c.titulo == wanted) return c;
        ADD_FAILURE() << "no command \"" << title << "\"";
        return Comando();
    }

    struct Outcome {
        int32_t result;
        std::string text;  // retorno_formatado, UTF-8
    };
    Outcome Run(Comando c, const char* port) {
        settings.PortName = port;
        int32_t result = c.Executar();
        return {result, Cp1252ToUtf8(c.retorno_formatado)};
    }
};

// The answers without what depends on the moment they were given.
std::string WithoutTimes(const std::string& text) {
    static const std::regex date(R"(\d{2}/\d{2}/\d{2}(\d{2})?)");
    static const std::regex time(R"(\d{2}:\d{2}(:\d{2})?)");
    return std::regex_replace(std::regex_replace(text, date, "dd/mm/yy"), time, "hh:mm");
}

// Fixed answers with and without data, refused commands, a receipt, status-first answers
// ending in ETX and in NUL, and a GPRS answer.
const char* const kCommandSet[] = {
    "Leer Fecha y Hora",
    "Leer Estado de la Impresora",
    "Vender Artículo",  // no receipt open: refused by the printer
    "Abrir Cupón Fiscal",
    "Vender Artículo",
    "Subtotal",
    "Iniciar Cierre del Cupón (Totalizar)",
    "Efectuar Pago",
    "Cerrar Cupón Fiscal",
    "Leer Contador de Documentos (COO)",
    "Leer Nombres de los Totalizadores No Fiscales",
    "Lectura X por el Puerto Serial",
    "Copia del Último Documento",
    "Verificar Módulo GPRS",
};

TEST(UsbSimulatedPrinter, AnswersReadAsOnAPlainLine) {
    Rig rig;
    std::vector<Rig::Outcome> usb, line;
    for (const char* title : kCommandSet) {
        usb.push_back(rig.Run(rig.Command(title), "USB"));
        line.push_back(rig.Run(rig.Command(title), "LINE"));
    }
    for (size_t i = 0; i < usb.size(); ++i) {
        SCOPED_TRACE(kCommandSet[i]);
        EXPECT_EQ(usb[i].result, 0) << usb[i].text;
        EXPECT_EQ(WithoutTimes(usb[i].text), WithoutTimes(line[i].text));
        EXPECT_EQ(usb[i].text.find("Error al enviar comando"), std::string::npos) << usb[i].text;
        EXPECT_EQ(usb[i].text.find("COMANDO NO RECIBIDO"), std::string::npos) << usb[i].text;
    }
    // What the printer said, read through the pieces.
    EXPECT_NE(usb[0].text.find("Fecha: "), std::string::npos) << usb[0].text;
    EXPECT_NE(usb[2].text.find("CF NO ABIERTO"), std::string::npos) << usb[2].text;
    EXPECT_EQ(usb[4].text.find("COMANDO NO EJECUTADO"), std::string::npos) << usb[4].text;
    EXPECT_NE(usb[9].text.find("COO:\t000001"), std::string::npos) << usb[9].text;
    EXPECT_NE(usb[11].text.find("LECTURA X"), std::string::npos) << usb[11].text;
    EXPECT_NE(usb[12].text.find("12,50"), std::string::npos) << usb[12].text;
    EXPECT_NE(usb[13].text.find("Executado"), std::string::npos) << usb[13].text;

    // One frame per command, polled with the printer's request, in pieces of every size.
    const UsbSimBackend::Counters& seen = rig.device->counters();
    EXPECT_EQ(seen.frames, static_cast<int>(std::size(kCommandSet)));
    EXPECT_EQ(seen.refusals, 0);
    EXPECT_EQ(seen.bad_requests, 0);
    EXPECT_EQ(seen.opens, 1);  // connected once, for every command
    EXPECT_GT(seen.empty_pieces, 0);
    EXPECT_GT(seen.full_pieces, 0);
    EXPECT_GT(seen.idle_polls, seen.data_polls);
    EXPECT_EQ(rig.device->Pending(), 0u);
    EXPECT_EQ(rig.usb->QueuedBytes(), 0u);
}

TEST(UsbSimulatedPrinter, LongFramesUnpluggingSilenceAndRefusals) {
    Rig rig;
    // A frame of more than 512 bytes goes out in two bulk writes and arrives whole: the printer
    // answers it (it does not know the command) instead of refusing a broken frame.
    {
        Comando c;
        c.SetTitulo("Prueba");
        ASSERT_TRUE(c.SetEscape("35 200"));
        Parametro p;
        p.formato = "STRING";
        p.tamanho = 1000;
        p.valor = std::string(1000, 'A');
        c.AdicionarParametro(p);
        Rig::Outcome o = rig.Run(c, "USB");
        EXPECT_EQ(o.result, 0) << o.text;
        EXPECT_NE(o.text.find("COMANDO INEXISTENTE"), std::string::npos) << o.text;
        const std::vector<int>& writes = rig.device->counters().writes;
        ASSERT_EQ(writes.size(), 2u);
        EXPECT_EQ(writes[0], 512);
        EXPECT_EQ(writes[1], 1008 - 512);  // STX, NB, FS, two escape bytes, 1000, checksum
        EXPECT_EQ(rig.device->counters().refusals, 0);
    }
    // Unplugged between two commands: the command finds no printer and ends unanswered; once
    // the printer is back the next one reconnects and is answered.
    {
        ASSERT_EQ(rig.Run(rig.Command("Leer Estado de la Impresora"), "USB").result, 0);
        const int opens = rig.device->counters().opens;
        rig.device->Unplug();
        Rig::Outcome gone = rig.Run(rig.Command("Leer Estado de la Impresora"), "USB");
        EXPECT_EQ(gone.result, kExecSemResposta);
        EXPECT_NE(gone.text.find("Error al enviar comando"), std::string::npos) << gone.text;
        rig.device->Plug();
        Rig::Outcome back = rig.Run(rig.Command("Leer Fecha y Hora"), "USB");
        EXPECT_EQ(back.result, 0) << back.text;
        EXPECT_NE(back.text.find("Fecha: "), std::string::npos) << back.text;
        EXPECT_GT(rig.device->counters().opens, opens);
    }
    // A printer that stops after three bytes: the command ends unanswered within the engine's
    // count of failed reads; the next command is not confused by anything left over.
    {
        rig.clock.ClearSleeps();
        rig.device->misbehaviour().silent_after = 3;
        Rig::Outcome silent = rig.Run(rig.Command("Leer Fecha y Hora"), "USB");
        EXPECT_EQ(silent.result, kExecSemResposta);
        EXPECT_NE(silent.text.find("Error al enviar comando"), std::string::npos) << silent.text;
        EXPECT_EQ(rig.clock.Sleeps().size(), 52u);  // one pause after each failed read
        rig.device->misbehaviour().silent_after = -1;
        Rig::Outcome next = rig.Run(rig.Command("Leer Contador de Documentos (COO)"), "USB");
        EXPECT_EQ(next.result, 0) << next.text;
        EXPECT_NE(next.text.find("COO:\t000000"), std::string::npos) << next.text;
    }
    // A printer that refuses every frame.
    {
        rig.device->misbehaviour().nak = true;
        Rig::Outcome refused = rig.Run(rig.Command("Leer Fecha y Hora"), "USB");
        EXPECT_EQ(refused.result, kExecSemResposta);
        EXPECT_NE(refused.text.find("COMANDO NO RECIBIDO"), std::string::npos) << refused.text;
        rig.device->misbehaviour().nak = false;
        EXPECT_EQ(rig.Run(rig.Command("Leer Fecha y Hora"), "USB").result, 0);
    }
    EXPECT_EQ(rig.device->counters().bad_requests, 0);
}

}  // namespace
}  // namespace ordavo
