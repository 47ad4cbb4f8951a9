// The fiscal-memory window's rules without a display: result messages, status texts, file
// names and library arguments, the Z-validation text, the menu and its greying by country.
#include <gtest/gtest.h>

#include <set>

#include "engine/strings.h"
#include "fiscalmemory/core/library_loader.h"
#include "fiscalmemory/core/mfd_rules.h"

namespace ordavo {
namespace {

TEST(MfdRulesTest, EveryResultCodeHasItsMessage) {
    struct Case {
        int code;
        const char* text;
    };
    const Case cases[] = {
        {0, ""},
        {1, ""},
        {2, "Archivo mra sin n\xFAmero serial."},
        {3, "Fecha inv\xE1lida"},
        {4, "No fue posible abrir el archivo .txt"},
        {5, "No fue possible abrir el archivo .mdb"},
        {6, "Archivos sin datos v\xE1lidos."},
        {7, "Comando no ejecutado"},
        {8, "Impresora no responde"},
        {9, "Sintaxis incorrecta"},
        {10, "Puerta Comunicac\xEDon inv\xE1lida"},
        {11, "Tipo Download inv\xE1lido"},
        {12, "Fecha inicial posterior a final"},
        {13, "COO inv\xE1lido"},
        {14, "Usu\xE1rio inv\xE1lido"},
        {15, "COO inicial posterior a final"},
        {16, "Poca memoria de ejecuci\xF3n"},
        {17, "Archivo inv\xE1lido"},
        {18, "Error en la Puerta Serial"},
        {19, "Error en el Archivo de Sal\xED" "da"},
        {20, "Download Anulado"},
        {21, "Error haciendo download"},
        {22, "Llave P\xFA" "blica con error"},
        {23, "Faltan s\xEDmbolos del conjunto PDF-417"}, {24, "Error en la operaci\xF3n"},
        {255, "Error en la operaci\xF3n"},
        {-1, "Error en la operaci\xF3n"},
        {-2147483647 - 1, "Error en la operaci\xF3n"},
    };
    for (const Case& c : cases) {
        const char* text = LibraryResultText(c.code);
        EXPECT_EQ(text ? std::string(text) : std::string(), c.text) << c.code;
        EXPECT_EQ(text == nullptr, c.code == 0 || c.code == 1) << c.code;
        EXPECT_EQ(LibraryResultStringId(c.code) == 0, c.code == 0 || c.code == 1) << c.code;
    }
    EXPECT_EQ(LibraryResultStringId(8), 33017);
    EXPECT_EQ(LibraryResultStringId(20), 33075);
    EXPECT_EQ(LibraryResultStringId(-1), 33094);
}

TEST(MfdRulesTest, LastAnswerStatus) {
    struct Case {
        unsigned char ack, st1, st2;
        const char* text;
        bool exclamation;
    };
    const Case cases[] = {
        {6, 0x81, 0, "\nFIN DE PAPEL\nN\xDAMERO DE PAR\xC1METROS DE CMD INV\xC1LIDO", false},
        {6, 0, 0, "RETORNO OK", false},
        {0x15, 0, 0, "NAK", true},
        {0, 0x81, 0x81, "NAK", true},
        {6, 0, 0x01, "\nCOMANDO NO EJECUTADO", false},
        {6, 0x40, 0x80, "\nPOCO PAPEL\nTIPO DE PAR\xC1METRO DE CMD INV\xC1LIDO", false},
        {6, 0x02, 0x22, "\nTICKET ABIERTO\nERROR EN LA MEMORIA RAM CMOS NO VOL\xC1TIL\nIDENTIFICACI\xD3N FISCAL NO PROGRAMADA", false},
    };
    for (const Case& c : cases) {
        LastAckMessage m = LastAckText(c.ack, c.st1, c.st2);
        EXPECT_EQ(m.text, c.text) << int(c.ack) << " " << int(c.st1) << " " << int(c.st2);
        EXPECT_EQ(m.exclamation, c.exclamation);
    }
    // Every bit of both bytes: sixteen lines, ST1's from bit 7 down first.
    std::string all = LastAckText(6, 0xFF, 0xFF).text;
    EXPECT_EQ(std::count(all.begin(), all.end(), '\n'), 16);
    EXPECT_EQ(all.find("\nFIN DE PAPEL\nPOCO PAPEL\nERROR EN EL RELOJ"), 0u);
    EXPECT_NE(all.find("COMANDO NO EJECUTADO"), std::string::npos);
    EXPECT_LT(all.find("TICKET ABIERTO"), all.find("MEMORIA FISCAL LLENA"));
}

TEST(MfdRulesTest, RangesNamesAndLibraryTexts) {
    struct Case {
        DownloadRangeArgs got;
        const char *kind, *first, *last, *user, *suffix;
    };
    const Case cases[] = {
        {CooRangeArgs(10, 25, 1, true), "2", "000010", "000025", "001", "_COO_I10_F25_U1"},
        {CooRangeArgs(25, 10, 255, true), "2", "000025", "000010", "255", "_COO_I25_F10_U255"},
        {CooRangeArgs(0, 999999, 0, false), "2", "000000", "999999", "", "_COO_I0_F999999"},
        {DateRangeArgs({1, 2, 2026}, {31, 12, 2099}), "1", "010226", "311299", "", "_010226_311299"},
        {DateRangeArgs({9, 9, 2000}, {5, 1, 1999}), "1", "090900", "050199", "", "_090900_050199"},
        {WholeMemoryArgs("10_12_26_09_05"), "0", "", "", "", "_10_12_26_09_05"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.got.kind, c.kind) << c.suffix;
        EXPECT_EQ(c.got.first, c.first) << c.suffix;
        EXPECT_EQ(c.got.last, c.last) << c.suffix;
        EXPECT_EQ(c.got.user, c.user) << c.suffix;
        EXPECT_EQ(c.got.suffix, c.suffix);
    }

    // The audit-memory dialog's three kinds; the date kind has no user.
    AuditSelection a;
    a.first_coo = 10, a.last_coo = 25, a.user = 1;
    EXPECT_EQ(RangedName("MRA_", "TA0001", AuditRangeArgs(a, "x")), "MRA_TA0001_COO_I10_F25_U1");
    a.kind = 1;
    a.first_date = {3, 4, 2025}, a.last_date = {4, 5, 2026};
    EXPECT_EQ(AuditRangeArgs(a, "x").user, "");
    EXPECT_EQ(RangedName("MPK_", "TA0001", AuditRangeArgs(a, "x")), "MPK_TA0001_030425_040526");
    a.kind = 2;
    EXPECT_EQ(RangedName("MRA_", "TA0001", AuditRangeArgs(a, "10_12_26_09_05")), "MRA_TA0001_10_12_26_09_05");
    EXPECT_EQ(AuditRangeArgs(a, "x").kind, "0");

    // Fiscal reading and transaction report: "_S"/"r" when simplified, "_N"/"R" otherwise.
    TxtSelection t;
    t.kind = 1, t.first_date = {1, 12, 2026}, t.last_date = {10, 12, 2026}, t.simplified = true;
    std::string variant;
    DownloadRangeArgs r = TxtRangeArgs(t, variant);
    EXPECT_EQ(RangedName("LMF_", "TA0001", r), "LMF_TA0001_011226_101226_S");
    EXPECT_EQ(variant, "r");
    EXPECT_EQ(r.kind, "1");
    t.kind = 0, t.first = 7, t.last = 70, t.simplified = false;
    r = TxtRangeArgs(t, variant);
    EXPECT_EQ(RangedName("IT_", "TA0001", r), "IT_TA0001_COO_I7_F70_N");
    EXPECT_EQ(variant, "R");
    EXPECT_EQ(r.first, "000007");
    EXPECT_EQ(r.user, "");

    EXPECT_EQ(StampedName("MF_", "TA0001", "10_12_26_09_05"), "MF_TA0001_10_12_26_09_05");
    // A printer's serial with path separators or control bytes cannot leave the directory.
    EXPECT_EQ(StampedName("MFK_", "../x/y\\z\x01", "s"), "MFK_.._x_y_z__s");
    EXPECT_EQ(FileNameSafe(".."), "__");
    EXPECT_EQ(FileNameSafe("Ta 1\xE9"), "Ta 1\xE9");
    const char unterminated[4] = {'A', 'B', 'C', 'D'};
    EXPECT_EQ(SerialFromBuffer(unterminated, 4), "ABCD");
    EXPECT_EQ(SerialFromBuffer("AB\0CD", 5), "AB");

    EXPECT_EQ(KeyPathBeside("/tmp/dl/MPK_X.mpk", "TA0001"), "/tmp/dl/TA0001");
    EXPECT_EQ(KeyPathBeside("MPK_X.mpk", "TA0001"), "TA0001");
    EXPECT_EQ(KeyPathBeside("/MPK_X.mpk", "TA0001"), "/TA0001");
}

TEST(MfdRulesTest, TimeStampAndSuccessPrompt) {
    std::tm t{};
    t.tm_mday = 5, t.tm_mon = 0, t.tm_year = 2026 - 1900, t.tm_hour = 7, t.tm_min = 3;
    EXPECT_EQ(MfdTimeStamp(t), "05_01_26_07_03");
    t.tm_mday = 31, t.tm_mon = 11, t.tm_year = 2100 - 1900, t.tm_hour = 23, t.tm_min = 59;
    EXPECT_EQ(MfdTimeStamp(t), "31_12_00_23_59");
    std::string now = MfdTimeStampNow();
    ASSERT_EQ(now.size(), 14u);
    for (size_t i : {2u, 5u, 8u, 11u}) EXPECT_EQ(now[i], '_');

    EXPECT_EQ(SuccessPromptText("/tmp/a%sb%d.txt"),
              "Archivo criado con \xE9xito: \r\n/tmp/a%sb%d.txt\r\n\xBF" "Comienzar el documento ahora?");
}

TEST(MfdRulesTest, RangeFields) {
    struct Case {
        const char* text;
        long low, high;
        bool ok;
        long value;
    };
    const Case cases[] = {
        {"0", 0, 999999, true, 0},        {"999999", 0, 999999, true, 999999}, {"1000000", 0, 999999, false, 0},
        {" 25 ", 0, 999999, true, 25},    {"", 0, 999999, false, 0},           {"  ", 0, 255, false, 0},
        {"-1", 0, 255, false, 0},         {"+1", 0, 255, false, 0},            {"256", 0, 255, false, 0},
        {"12a", 0, 255, false, 0},        {"99999999999999999999", 0, 255, false, 0},
    };
    for (const Case& c : cases) {
        long v = -7;
        EXPECT_EQ(ParseRangeField(c.text, c.low, c.high, v), c.ok) << c.text;
        if (c.ok) EXPECT_EQ(v, c.value) << c.text;
        else EXPECT_EQ(v, -7) << "a refused entry leaves the value alone: " << c.text;
    }
    EXPECT_EQ(RangeFieldMessage(0, 255), "Introduzca un n\xFAmero entero entre 0 y 255.");
}

TEST(MfdRulesTest, ZValidationText) {
    std::vector<size_t> replaced;
    EXPECT_EQ(FilterZText("0A9F\r\n g", &replaced), "0A9F\r\n  ");
    EXPECT_EQ(replaced, (std::vector<size_t>{7}));
    replaced.clear();
    EXPECT_EQ(FilterZText("abcdefG\t\xE9Z", &replaced), "          ");
    EXPECT_EQ(replaced.size(), 10u);
    for (char32_t c : {U'0', U'9', U'A', U'F', U' ', U'\r', U'\n'}) EXPECT_TRUE(ZTextCharAllowed(c));
    for (char32_t c : {U'a', U'f', U'G', U'g', U'\t', U'/', U':', U'@', U'\u00C9', U'\U0001F600'})
        EXPECT_FALSE(ZTextCharAllowed(c));

    // 300 digits over several lines: the first 257 digits, nothing else.
    std::string digits, typed;
    for (int i = 0; i < 300; ++i) {
        char d = "0123456789ABCDEF"[i % 16];
        digits += d;
        typed += d;
        if (i % 40 == 39) typed += "\r\n";
        else if (i % 8 == 7) typed += ' ';
    }
    EXPECT_EQ(ZWorkFileText(typed), digits.substr(0, 257));
    EXPECT_EQ(ZWorkFileText(" \r\n"), "");
    EXPECT_EQ(ZWorkFileText("12 34"), "1234");
}

// Collects the identifiers of a menu tree, depth first.
void Ids(const std::vector<MfdMenuNode>& nodes, std::vector<int>& out) {
    for (const MfdMenuNode& n : nodes) {
        if (n.IsPopup()) Ids(n.children, out);
        else out.push_back(n.id);
    }
}

TEST(MfdRulesTest, MenuAndCountries) {
    const auto& menu = MfdMenu();
    std::vector<std::string> titles;
    for (const auto& p : menu) titles.push_back(p.text);
    EXPECT_EQ(titles, (std::vector<std::string>{"Archivo", "Comunicaci\xF3n", "Emisi\xF3n de Documento(s) VE",
                                                "Emisi\xF3n de Documento(s) RD", "PA 0421-06", "DLL Clave", "Panam\xE1"}));
    struct Case {
        int popup;
        std::vector<int> ids;  // 0 = separator
    };
    const Case cases[] = {
        {kPopupArchivo, {32803, 32804, 0, 32816, 32788, 32776, 0, 2}},
        {kPopupComunicacion, {32780, 32781, 32782, 32806, 32834, 32801, 32802, 32805, 32807, 32808, 32783, 32809}},
        {kPopupEmisionVE, {32773, 32775, 32774, 32811, 32812, 32826, 32835}},
        {kPopupEmisionRD, {32773, 32775, 32832, 32833}},
        {kPopupPA, {32813, 32814, 32815, 32824, 32825, 32830}},
        {kPopupDllClave, {32820, 32821, 32822}},
        {kPopupPanama, {32836, 32839, 32840, 32838, 32835}},
    };
    for (const Case& c : cases) {
        std::vector<int> ids;
        Ids(menu[static_cast<size_t>(c.popup)].children, ids);
        EXPECT_EQ(ids, c.ids) << c.popup;
    }
    EXPECT_EQ(menu[kPopupComunicacion].children[0].text, "Download");
    EXPECT_EQ(menu[kPopupComunicacion].children[1].text, "Download con Firma Digital");
    EXPECT_EQ(menu[kPopupComunicacion].children[3].text, "Status \xDAltima Comunicaci\xF3n");
    EXPECT_EQ(menu[kPopupArchivo].children[1].text, "Verificar Autenticidad  Z");
    EXPECT_EQ(menu[kPopupPA].children[3].text, "Identificar MA");

    struct Country {
        const char* name;
        std::vector<int> greyed;
        const char* library;
    };
    const Country countries[] = {
        {"CHILE", {kPopupEmisionVE, kPopupEmisionRD}, "libTalvMFD2ES.so"},
        {"VENEZUELA", {kPopupEmisionRD}, "libTalvMFD2ES.so"},
        {"LOTERIAS", {kPopupEmisionRD}, "libTalvMFD2ES.so"},
        {"PANAMA", {kPopupEmisionRD}, "libTalvMFD2ES.so"},
        {"REP DOMINICANA", {kPopupEmisionVE}, "libTalvMFD2RD.so"},
        {"-- Otro --", {}, "libTalvMFD2ES.so"},
        {"chile", {}, "libTalvMFD2ES.so"},
    };
    for (const Country& c : countries) {
        EXPECT_EQ(GreyedMfdPopups(c.name), c.greyed) << c.name;
        EXPECT_EQ(FiscalLibraryName(c.name), c.library) << c.name;
    }
}

}  // namespace
}  // namespace ordavo
