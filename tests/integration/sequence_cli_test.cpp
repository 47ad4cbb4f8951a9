// ordavo-cli sequence list, show and run with the sample sequence files, against the simulator.
#include <signal.h>

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "engine/util.h"
#include "tests/support/paths.h"
#include "tests/support/process.h"

namespace ordavo {
namespace {

using nlohmann::json;

std::string Cli() { return test::ProgramPath("ordavo-cli"); }
std::string Rd() { return test::CatalogDir() + "/secuencia_rd.xml"; }

size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) ++n;
    return n;
}

TEST(SequenceCli, ListAndShow) {
    test::RunResult r = test::RunProgram(Cli(), {"sequence", "list", Rd(), "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    json titles = json::parse(r.out);
    ASSERT_GE(titles.size(), 4u);
    EXPECT_EQ(titles[1], "Lectura X");

    r = test::RunProgram(Cli(), {"sequence", "show", "0", Rd(), "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    json cmds = json::parse(r.out);
    ASSERT_GE(cmds.size(), 5u);
    EXPECT_EQ(cmds[0]["escape"], "0");
    EXPECT_EQ(cmds[0]["equipamentos_hab"], 0);  // not kept in sequence files
    EXPECT_EQ(cmds[1]["parametros"][0]["valor"], "7591234000017");

    r = test::RunProgram(Cli(), {"sequence", "show", "Lectura X", Rd()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Lectura X"), std::string::npos);

    // The default file is the country's file in the application directory.
    test::TempDir dir;
    std::string bytes;
    ASSERT_TRUE(ReadWholeFile(Rd(), bytes));
    ASSERT_TRUE(WriteFileAtomically(dir.File("secuencia_rd.xml"), bytes));
    r = test::RunProgram(Cli(), {"sequence", "list", "--dir", dir.path()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("Venta completa", 0), 0u) << r.out;
    ASSERT_TRUE(WriteFileAtomically(dir.File("config_es.cfg"), "Pa\xEDs             : PANAMA\r\n"));
    EXPECT_EQ(test::RunProgram(Cli(), {"sequence", "list", "--dir", dir.path()}).status, 66);

    EXPECT_EQ(test::RunProgram(Cli(), {"sequence", "show", "No existe", Rd()}).status, 64);
    EXPECT_EQ(test::RunProgram(Cli(), {"sequence", "list", dir.File("none.xml")}).status, 66);
    EXPECT_EQ(test::RunProgram(Cli(), {"sequence"}).status, 64);
}

TEST(SequenceCli, RunsAgainstTheSimulator) {
    test::TempDir dir;
    {
        test::Simulator sim;
        ASSERT_TRUE(sim.ok());
        test::RunResult r = test::RunProgram(Cli(), {"sequence", "run", "Venta completa (cupón fiscal)", Rd(), "--port",
                                                     sim.path(), "--dir", dir.path(), "--runs", "2", "--dump"});
        ASSERT_EQ(r.status, 0) << r.out << r.err;
        EXPECT_EQ(Count(r.out, "***Fin de la ejecuci\xC3\xB3n de la secu\xC3\xA9ncia de comandos***"), 2u) << r.out;
        EXPECT_EQ(Count(r.out, "CMD:"), 12u);
        EXPECT_EQ(r.out.find("Error al enviar"), std::string::npos);
    }
    {
        // A printer that refuses everything: the first run stops at its first command.
        test::Simulator sim({"--nak"});
        ASSERT_TRUE(sim.ok());
        test::RunResult r = test::RunProgram(Cli(), {"sequence", "run", "0", Rd(), "--port", sim.path(), "--dir",
                                                     dir.path(), "--runs", "3", "--stop-on-error", "1"});
        EXPECT_EQ(r.status, 4) << r.out << r.err;
        EXPECT_EQ(Count(r.out, "COMANDO NO RECIBIDO"), 1u);
        EXPECT_EQ(r.out.substr(r.out.size() - 24), "Error al enviar comando\n") << r.out;

        // Going on after errors: every command is tried and the run counts as done.
        r = test::RunProgram(Cli(), {"sequence", "run", "0", Rd(), "--port", sim.path(), "--dir", dir.path(),
                                     "--stop-on-error", "0", "--pause-on-error", "0"});
        EXPECT_EQ(r.status, 0) << r.out;
        EXPECT_EQ(Count(r.out, "*** Comando no ejecutado - impresora no responde ***"), 6u);

        // Pause on error, answered "anular" on the terminal.
        r = test::RunProgram(Cli(), {"sequence", "run", "0", Rd(), "--port", sim.path(), "--dir", dir.path(),
                                     "--stop-on-error", "0", "--pause-on-error", "1"},
                             60000, "anular\n");
        EXPECT_EQ(r.status, 4) << r.out;
        EXPECT_NE(r.err.find("CONTINUAR"), std::string::npos) << r.err;
        EXPECT_EQ(Count(r.out, "COMANDO NO RECIBIDO"), 1u);
    }
}

TEST(SequenceCli, ResultsAppearAsCommandsEndAndCtrlCEndsTheRunAtOnce) {
    test::TempDir dir;
    test::Simulator sim;
    ASSERT_TRUE(sim.ok());
    struct Case {
        const char* name;
        std::vector<std::string> options;
    };
    const std::vector<Case> cases = {
        {"Ctrl-C in the delay between commands", {"--delay", "20"}},
        {"Ctrl-C between endless repeated runs", {"--runs", "999999", "--delay", "0"}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        std::vector<std::string> args = {"sequence", "run", "0", Rd(), "--port", sim.path(), "--dir", dir.path()};
        args.insert(args.end(), k.options.begin(), k.options.end());
        test::BackgroundProcess cli(Cli(), args);
        // The first command's result is there long before the run could end.
        std::string seen = cli.OutputUntil("COMANDO OK", 10000);
        EXPECT_NE(seen.find("Comando:"), std::string::npos) << seen;
        cli.Signal(SIGINT);
        EXPECT_EQ(cli.Wait(3000), 5) << cli.Errors();
        EXPECT_EQ(cli.Errors().find("Failed"), std::string::npos);
    }

    // Every status the program uses is in its help.
    test::RunResult help = test::RunProgram(Cli(), {"--help"});
    for (const char* status : {" 0 ", " 4 ", "5 cancelled", "64 ", "65 ", "66 "})
        EXPECT_NE(help.out.find(status), std::string::npos) << status;
    // A sequence without commands, and errors kept out of the JSON on standard output.
    ASSERT_TRUE(WriteFileAtomically(dir.File("vacia.xml"),
                                    "<?xml version=\"1.0\" encoding=\"Windows-1252\"?><sequencias><sequencia>"
                                    "<titulo>VACIA</titulo></sequencia></sequencias>"));
    test::RunResult empty = test::RunProgram(Cli(), {"sequence", "run", "0", dir.File("vacia.xml"), "--port",
                                                     sim.path(), "--dir", dir.path()});
    EXPECT_EQ(empty.status, 65) << empty.out << empty.err;
    ASSERT_TRUE(WriteFileAtomically(dir.File("rota.xml"), "<sequencias><sequencia>"));
    test::RunResult broken = test::RunProgram(Cli(), {"sequence", "list", dir.File("rota.xml"), "--json"});
    EXPECT_EQ(broken.status, 66);
    EXPECT_EQ(broken.out, "");
    EXPECT_NE(broken.err.find("Failed to instantiate an XML DOM."), std::string::npos) << broken.err;
}

}  // namespace
}  // namespace ordavo
