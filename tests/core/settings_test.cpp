#include "shell/core/settings.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "engine/util.h"
#include "tests/support/paths.h"

namespace ordavo {
namespace {

std::string Slurp(const std::string& path) {
    std::string s;
    EXPECT_TRUE(ReadWholeFile(path, s));
    return s;
}

void Write(const std::string& path, const std::string& text) { ASSERT_TRUE(WriteFileAtomically(path, text)); }

TEST(Settings, DefaultsAndSavedBytes) {
    Settings s;
    EXPECT_EQ(s.PortName, "");
    EXPECT_EQ(s.BaudRate, 9600);
    EXPECT_EQ(s.ModelName, "Heron 2 TH          ");
    EXPECT_EQ(s.ModelName.size(), 20u);
    EXPECT_EQ(s.ModelMask, 255);
    EXPECT_EQ(s.Country, "VENEZUELA");
    EXPECT_EQ(s.ShowResults, 1);
    EXPECT_EQ(s.ExtendedReturn, 1);
    EXPECT_EQ(s.LoopSequences, 1);
    EXPECT_EQ(s.StopOnError, 1);
    EXPECT_EQ(s.PauseOnError, 0);

    test::TempDir dir;
    s.PortName = "COM2:";
    ASSERT_EQ(SaveConfiguration(s, dir.File("config_es.cfg")), 1);
    const std::string expected =
        "Modelo Equipo    : Heron 2 TH          \r\n"
        "Puerto Serial    : COM2:\r\n"
        "Serial Baudrate  : 9600\r\n"
        "Filtre cmds      : 0\r\n"
        "Pa\xEDs             : VENEZUELA\r\n"
        "Loop Secu\xE9ncias  : 1\r\n"
        "Pare caso error  : 1\r\n"
        "Pausa caso error : 0\r\n"
        "Delay entre cmds : 0\r\n"
        "Secu\xE9ncia default: 0\r\n"
        "Ejec Sec. Entra  : 0\r\n";
    EXPECT_EQ(Slurp(dir.File("config_es.cfg")), expected);
    // The model line is 19 + 20 bytes before its line end.
    EXPECT_EQ(expected.find("\r\n"), 39u);

    // Values of our own are written after the eleven lines and read back.
    s.SocketPeer = "127.0.0.1:2121";
    s.ExchangeDirectory = "/tmp/x y";
    ASSERT_EQ(SaveConfiguration(s, dir.File("config_es.cfg")), 1);
    std::string with_ours = Slurp(dir.File("config_es.cfg"));
    EXPECT_EQ(with_ours.substr(0, expected.size()), expected);
    Settings back;
    ASSERT_EQ(LoadConfiguration(back, dir.File("config_es.cfg")), 1);
    EXPECT_EQ(back.SocketPeer, "127.0.0.1:2121");
    EXPECT_EQ(back.ExchangeDirectory, "/tmp/x y");
    EXPECT_EQ(back.PortName, "COM2:");
    EXPECT_EQ(back.ModelName, s.ModelName);

    // An unwritable place leaves nothing behind and says so.
    EXPECT_EQ(SaveConfiguration(s, dir.File("missing/config_es.cfg")), 0);
}

TEST(Settings, LoadingRules) {
    test::TempDir dir;
    const std::string path = dir.File("config_es.cfg");
    Settings s;
    EXPECT_EQ(LoadConfiguration(s, dir.File("none.cfg")), 0);
    EXPECT_EQ(s.Country, "VENEZUELA");

    Write(path,
          "Serial Baudrate  : 19200\r\n"
          "Puerto Serial    : \r\n"
          "junk line without a key\r\n"
          "Serial Baudrate  : 57600\r\n"
          "Loop Secu\xE9ncias  : 0\r\n"
          "Delay entre cmds : abc\r\n"
          "Pare caso error  :   -7xyz\r\n"
          "Modelo Equipo    : Kestrel 2           \r\n"
          "Pa\xEDs             : REP DOMINICANA\n");
    ASSERT_EQ(LoadConfiguration(s, path), 1);
    EXPECT_EQ(s.BaudRate, 57600);          // the last occurrence wins
    EXPECT_EQ(s.PortName, "FILE");         // an empty port means the exchange files
    EXPECT_EQ(s.LoopSequences, 0);         // raised to 1 only where it is used
    EXPECT_EQ(s.DelayBetweenCommands, 0);  // not a number reads as 0
    EXPECT_EQ(s.StopOnError, -7);          // read as the C library reads numbers
    EXPECT_EQ(s.ModelName, "Kestrel 2           ");
    EXPECT_EQ(s.Country, "REP DOMINICANA");
    EXPECT_EQ(s.ModelMask, 255);  // never read from the file

    // The first key contained in a line wins, in the fixed order of the keys; the value is
    // taken from byte 19 whatever stands before.
    Write(path, "Puerto Serial    : COM3:Modelo Equipo    : X\r\n");
    Settings t;
    LoadConfiguration(t, path);
    EXPECT_EQ(t.ModelName, "COM3:Modelo Equipo    : X");
    EXPECT_EQ(t.PortName, "");

    // A line longer than the reader's buffer is read in pieces, each one a line.
    std::string long_line = "Puerto Serial    : " + std::string(79, 'A') + "Serial Baudrate  : 19200\r\n";
    Write(path, long_line);
    Settings u;
    LoadConfiguration(u, path);
    EXPECT_EQ(u.PortName, std::string(79, 'A'));
    EXPECT_EQ(u.BaudRate, 19200);
}

TEST(Settings, ModelTableAndDirectory) {
    EXPECT_EQ(ModelMaskFor("Kestrel 1           "), 1);
    EXPECT_EQ(ModelMaskFor("Kestrel 2           "), 4);
    EXPECT_EQ(ModelMaskFor("Heron 6 TH          "), 2048);
    EXPECT_EQ(ModelMaskFor("Heron 7 TH          "), 2048);
    EXPECT_EQ(ModelMaskFor("Heron 3 TH          "), 16384);
    EXPECT_EQ(ModelMaskFor("Heron 3 TH"), 65535);  // without its padding it is another name
    EXPECT_EQ(ModelMaskFor("kestrel 1           "), 65535);

    // A working directory far longer than a hundred characters is kept whole.
    test::TempDir dir;
    std::string deep = dir.path();
    for (int i = 0; i < 12; ++i) deep += "/directorio_de_trabajo_" + std::to_string(i);
    std::error_code ec;
    std::filesystem::create_directories(deep, ec);
    ASSERT_FALSE(ec);
    std::string before = CurrentDirectory();
    ASSERT_EQ(chdir(deep.c_str()), 0);
    EXPECT_EQ(CurrentDirectory(), std::filesystem::canonical(deep).string());
    ASSERT_EQ(chdir(before.c_str()), 0);
}

}  // namespace
}  // namespace ordavo
