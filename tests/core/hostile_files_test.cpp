// Files that are not what they claim: a catalog that is a directory, "config_es.cfg" that is a
// FIFO or a device, XML files that declare entities or pile attributes on one element. Each is
// refused at once with a reason, and nothing waits or swells.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/bdom.h"
#include "engine/catalog.h"
#include "engine/util.h"
#include "sequences/core/sequencia.h"
#include "shell/core/settings.h"
#include "tests/support/paths.h"

namespace ordavo {
namespace {

TEST(HostileFiles, ConfigurationThatIsNotARegularFileIsRefusedWithoutWaiting) {
    test::TempDir dir;
    const std::string fifo = dir.File("config_es.cfg");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& path : {fifo, std::string("/dev/zero"), dir.path()}) {
        SCOPED_TRACE(path);
        Settings s;
        s.PortName = "COM2:";
        auto loading = std::async(std::launch::async, [&] { return LoadConfiguration(s, path); });
        if (loading.wait_for(std::chrono::seconds(3)) != std::future_status::ready) {
            // Let a reader stuck on the FIFO go, then report.
            int fd = open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0) close(fd);
            ADD_FAILURE() << "reading " << path << " did not end";
            loading.wait();
            continue;
        }
        EXPECT_EQ(loading.get(), 0);
        EXPECT_EQ(s.PortName, "COM2:");  // the defaults stay
    }
    std::string text, error;
    EXPECT_FALSE(ReadRegularFile("/dev/zero", text, &error));
    EXPECT_NE(error.find("not a regular file"), std::string::npos) << error;
}

TEST(HostileFiles, XmlFilesAreRefusedWithAReason) {
    test::TempDir dir;
    const std::string big(100000, 'X');
    std::string entities = "<?xml version=\"1.0\"?><!DOCTYPE comandos [<!ENTITY e \"" + big + "\">]><comandos><cmd>"
                           "<tipo>T</tipo><titulo>";
    for (int i = 0; i < 2000; ++i) entities += "&e;";
    entities += "</titulo></cmd></comandos>";
    std::string attributes = "<comandos><cmd";
    for (int i = 0; i < 5000; ++i) attributes += " a" + std::to_string(i) + "='1'";
    attributes += "><titulo>C</titulo></cmd></comandos>";
    ASSERT_TRUE(WriteFileAtomically(dir.File("entities.xml"), entities));
    ASSERT_TRUE(WriteFileAtomically(dir.File("attributes.xml"), attributes));
    ASSERT_EQ(mkdir(dir.File("catalogo.xml").c_str(), 0700), 0);

    struct Case {
        std::string file, said;
    };
    const std::vector<Case> cases = {
        {"entities.xml", "entity declarations (<!ENTITY ...>) are not allowed"},
        {"attributes.xml", "an element has more than 256 attributes"},
        {"catalogo.xml", "Is a directory"},
        {"missing.xml", "No such file or directory"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.file);
        const std::string path = dir.File(k.file);
        std::vector<Comando> list;
        std::string error;
        EXPECT_NE(CarregarArquivoCatalogo(path, list, &error), 0);
        EXPECT_EQ(error.rfind(path + ": ", 0), 0u) << error;
        EXPECT_NE(error.find(k.said), std::string::npos) << error;
        ListaSequencias sequences;
        error.clear();
        EXPECT_NE(sequences.Carregar(path, &error), 0);
        EXPECT_NE(error.find(k.said), std::string::npos) << error;
    }
    BDOM dom;
    EXPECT_NE(dom.LoadMemory(entities), 0);
    EXPECT_NE(dom.LastError().find("entity declarations"), std::string::npos) << dom.LastError();
    // A plain document type without entities still reads.
    EXPECT_EQ(dom.LoadMemory("<!DOCTYPE t><t a='1' b='2'>x</t>"), 0) << dom.LastError();
}

TEST(HostileFiles, LongTextsAndSequencesKeepTheirContent) {
    std::string text;
    for (int i = 0; i < 1000; ++i) text += "a\r\nb";
    ReplaceAll(text, "\r\n", "\n");
    EXPECT_EQ(text.size(), 3000u);
    EXPECT_EQ(text.find('\r'), std::string::npos);
    std::string same = "xx";
    ReplaceAll(same, "x", "xx");
    EXPECT_EQ(same, "xxxx");
    EXPECT_EQ(MostAttributesInOneTag("<a b='=' c=\"x\"><d e='1'/><!-- f=g --></a>"), 2u);

    // Every command of a long sequence is read, in order.
    test::TempDir dir;
    std::string xml = "<sequencias><sequencia><titulo>L</titulo>";
    for (int i = 0; i < 3000; ++i) xml += "<cmd><titulo>C" + std::to_string(i) + "</titulo></cmd>";
    xml += "</sequencia></sequencias>";
    ASSERT_TRUE(WriteFileAtomically(dir.File("s.xml"), xml));
    ListaSequencias list;
    ASSERT_EQ(list.Carregar(dir.File("s.xml")), 0);
    ASSERT_EQ(list.sequencias.size(), 1u);
    ASSERT_EQ(list.sequencias[0].comandos.size(), 3000u);
    EXPECT_EQ(list.sequencias[0].comandos[2999].titulo, "C2999");
}

TEST(HostileFiles, ASaveRemovesTheTemporariesOfSavesThatWereKilled) {
    test::TempDir dir;
    // The number of a process that has ended, and of one that still runs.
    pid_t gone = fork();
    if (gone == 0) _exit(0);
    ASSERT_GT(gone, 0);
    int status = 0;
    waitpid(gone, &status, 0);
    const std::string target = dir.File("config_es.cfg");
    const std::string stale = target + ".tmp" + std::to_string(gone);
    const std::string running = target + ".tmp" + std::to_string(getppid());
    const std::string other = dir.File("otro.cfg.tmp" + std::to_string(gone));
    for (const std::string& f : {stale, running, other}) ASSERT_TRUE(WriteFileAtomically(f, std::string(4096, 'x')));
    ASSERT_TRUE(WriteFileAtomically(target, "Puerto           : COM1:\r\n"));
    struct stat st;
    EXPECT_NE(stat(stale.c_str(), &st), 0) << "the killed save's temporary is still there";
    EXPECT_EQ(stat(running.c_str(), &st), 0);  // a running program's save is not touched
    EXPECT_EQ(stat(other.c_str(), &st), 0);    // nor the temporary of another file
    std::string back;
    ASSERT_TRUE(ReadWholeFile(target, back));
    EXPECT_EQ(back, "Puerto           : COM1:\r\n");
}

}  // namespace
}  // namespace ordavo
