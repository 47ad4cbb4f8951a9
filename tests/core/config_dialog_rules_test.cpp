#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine/util.h"
#include "shell/core/config_model.h"
#include "tests/support/paths.h"

namespace ordavo {
namespace {

using Strings = std::vector<std::string>;

TEST(ConfigRules, ListsAndTheirMatching) {
    EXPECT_EQ(PortEntries(), (Strings{"USB", "FILE", "COM1:", "COM2:", "COM3:", "COM4:", "COM5:", "COM6:", "COM7:",
                                      "COM8:"}));
    for (const std::string& m : ModelEntries()) EXPECT_EQ(m.size(), 20u) << m;
    EXPECT_EQ(CountryEntries(), (Strings{"-- Otro --", "CHILE", "LOTERIAS", "PANAMA", "REP DOMINICANA", "VENEZUELA"}));
    EXPECT_EQ(SpeedEntries(), (Strings{"9600", "19200", "57600", "115200"}));

    Strings ports = PortEntries();
    EXPECT_EQ(FindListEntry(ports, "COM1"), 2);    // a prefix picks the entry
    EXPECT_EQ(FindListEntry(ports, "com3:"), 4);   // ignoring case
    EXPECT_EQ(FindListEntry(ports, "SOCKET"), -1);  // stays typed
    EXPECT_EQ(FindListEntry(ports, ""), -1);        // an empty port shows empty, not "USB"
    EXPECT_EQ(FindListEntry(ports, "COM1:x"), -1);
    EXPECT_EQ(FindListEntry(CountryEntries(), "chile"), 1);
    EXPECT_EQ(FindListEntry(ModelEntries(), "Heron 2 TH"), 1);
    EXPECT_EQ(FindListEntry(Strings{"Pa\xCDS"}, "pa\xEDs"), 0);
    EXPECT_EQ(FindListEntry(SpeedEntries(), "1"), 1);
}

TEST(ConfigRules, OkStoresPortSpeedCountryAndTheKestrel2Rule) {
    Settings s;
    s.PortName = "COM2:";
    s.BaudRate = 57600;
    s.ModelName = "";
    s.ShowResults = 1;
    ConfigFields f = ConfigFieldsFrom(s);
    EXPECT_EQ(f.speed, "57600");
    EXPECT_EQ(f.model, "Heron 2 TH          ");  // an empty model opens as the default
    EXPECT_EQ(f.port, "COM2:");
    EXPECT_EQ(f.show_results, 1);
    EXPECT_EQ(f.extended_return, 1);

    for (auto [text, rate] : std::vector<std::pair<std::string, int>>{
             {"9600", 9600}, {"19200", 19200}, {"57600", 57600}, {"115200", 115200}, {"38400", 9600},
             {" 19200", 9600}, {"19200 ", 9600}, {"", 9600}, {"abc", 9600}}) {
        EXPECT_EQ(BaudRateFromText(text), rate) << text;
    }

    f.port = "SOCKET";
    f.socket_peer = "10.0.0.5:2121";
    f.country = "PANAMA";
    f.speed = "115200";
    f.model = "Kestrel 2           ";
    f.extended_return = 1;
    f.filter = 1;
    Settings before = s;
    ApplyConfigOk(f, s);
    EXPECT_EQ(s.PortName, "SOCKET");
    EXPECT_EQ(s.SocketPeer, "10.0.0.5:2121");
    EXPECT_EQ(s.Country, "PANAMA");
    EXPECT_EQ(s.BaudRate, 115200);
    // The Kestrel 2 never runs with the extended return, even with the box ticked.
    EXPECT_EQ(s.ExtendedReturn, 0);
    EXPECT_EQ(f.extended_return, 0);
    // Model and filter reach the settings only through the main window.
    EXPECT_EQ(s.ModelName, before.ModelName);
    EXPECT_EQ(s.FilterCommands, 0);
    ApplyConfigToMainWindow(f, s);
    EXPECT_EQ(s.ModelName, "Kestrel 2           ");
    EXPECT_EQ(s.FilterCommands, 1);
    EXPECT_EQ(s.ExtendedReturn, 0);

    // A model typed by hand is stored as typed; the rule needs the exact padded name.
    f.model = "Kestrel 2";
    f.extended_return = 1;
    ApplyConfigOk(f, s);
    EXPECT_EQ(f.extended_return, 1);
    ApplyConfigToMainWindow(f, s);
    EXPECT_EQ(s.ModelName, "Kestrel 2");
    EXPECT_EQ(s.ExtendedReturn, 1);
}

TEST(ConfigRules, SerialDevicesPresent) {
    test::TempDir dev, sys;
    auto touch = [](const std::string& p) { std::ofstream(p).put('x'); };
    for (const char* n : {"ttyS0", "ttyS1", "ttyS10", "ttyUSB10", "ttyUSB2", "ttyACM0", "ttySomething", "tty1", "null"})
        touch(dev.File(n));
    std::filesystem::create_directories(dev.path() + "/serial/by-id");
    touch(dev.path() + "/serial/by-id/usb-Maker_Printer-if00");
    // ttyS1 has no UART behind it; ttyS10 has no sysfs entry at all.
    for (auto [n, type] : std::vector<std::pair<std::string, std::string>>{{"ttyS0", "4\n"}, {"ttyS1", "0\n"}}) {
        std::filesystem::create_directories(sys.path() + "/" + n);
        std::ofstream(sys.path() + "/" + n + "/type") << type;
    }
    Strings got = ListSerialDevices(dev.path(), sys.path());
    EXPECT_EQ(got, (Strings{dev.File("ttyS0"), dev.File("ttyS10"), dev.File("ttyUSB2"), dev.File("ttyUSB10"),
                            dev.File("ttyACM0"), dev.File("serial/by-id/usb-Maker_Printer-if00")}));
    EXPECT_TRUE(ListSerialDevices(dev.File("missing"), sys.path()).empty());
}

TEST(ConfigRules, PortListOffersSocketAndReadableDevicesWithoutDuplicates) {
    test::TempDir dev, sys;
    auto touch = [](const std::string& p) { std::ofstream(p).put('x'); };
    for (const char* n : {"ttyS0", "ttyS7", "ttyS8", "ttyUSB0", "ttyUSB1", "ttyACM0"}) touch(dev.File(n));
    for (const char* n : {"ttyS0", "ttyS7", "ttyS8"}) {
        std::filesystem::create_directories(sys.path() + "/" + n);
        std::ofstream(sys.path() + "/" + n + "/type") << "4\n";
    }
    std::filesystem::create_directories(dev.path() + "/serial/by-id");
    const std::string link = dev.path() + "/serial/by-id/usb-FTDI_FT232R_Printer_A1-if00-port0";
    std::filesystem::create_symlink("../../ttyUSB0", link);
    Strings got = ExtraPortEntries(dev.path(), sys.path());
    // COM1: to COM8: stand for ttyS0..ttyS7, and the linked ttyUSB0 shows under its readable name.
    EXPECT_EQ(got, (Strings{"SOCKET", link, dev.File("ttyS8"), dev.File("ttyUSB1"), dev.File("ttyACM0")}));
}

TEST(ConfigRules, UdevRuleGivesSeatAccessWithoutWorldWrite) {
    EXPECT_EQ(UsbHardwareIds().size(), 5u);
    std::string rules = UdevRulesText();
    for (const char* pair : {"\"6c0d\", ATTRS{idProduct}==\"0000\"", "\"7a1f\", ATTRS{idProduct}==\"0101\"",
                             "\"7a1f\", ATTRS{idProduct}==\"0102\"", "\"7a1f\", ATTRS{idProduct}==\"0103\"",
                             "\"7a1f\", ATTRS{idProduct}==\"0104\""})
        EXPECT_NE(rules.find(pair), std::string::npos) << pair;
    EXPECT_EQ(rules.find("0666"), std::string::npos);
    size_t lines = 0, uaccess = 0, mm = 0;
    for (size_t p = 0; (p = rules.find("SUBSYSTEM==", p)) != std::string::npos; ++p) ++lines;
    for (size_t p = 0; (p = rules.find("TAG+=\"uaccess\"", p)) != std::string::npos; ++p) ++uaccess;
    for (size_t p = 0; (p = rules.find("ENV{ID_MM_DEVICE_IGNORE}=\"1\"", p)) != std::string::npos; ++p) ++mm;
    EXPECT_EQ(lines, 10u);
    EXPECT_EQ(uaccess, 10u);
    EXPECT_EQ(mm, 10u);
    // Sorted before the seat rules, or uaccess has no effect.
    EXPECT_LT(std::string(kUdevRulesPath), std::string("/etc/udev/rules.d/73-seat-late.rules"));
    EXPECT_NE(UdevInstallScript().find("install -m 0644"), std::string::npos);

    // The rules file shipped for installing by hand holds the same rules.
    std::string shipped;
    ASSERT_TRUE(ReadWholeFile(test::SourceDir() + "/transport/usb/60-ordavo-printers.rules", shipped));
    EXPECT_NE(shipped.find(rules), std::string::npos);
}

}  // namespace
}  // namespace ordavo
