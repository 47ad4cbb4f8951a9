// One saved printer configuration and the store of them, "equipamentos.xml" in the
// application directory. Texts are Windows-1252 bytes.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/bdom.h"

namespace ordavo {

struct Equipment {
    static constexpr int kRates = 16;
    static constexpr int kTotalizers = 50;

    std::string numero_de_serie;
    std::string cliente;
    std::string CNPJ;  // "RIF" on the screen
    std::string IE;    // "IE (BRASIL)"
    std::string IM;    // "NIT"
    std::string UF;
    std::string senha;  // 20 hexadecimal digits; never written to the file
    std::string numero_da_loja;
    std::string numero_do_caixa;
    std::string data;  // DDMMYY
    std::string hora;  // HHMMSS
    bool horario_de_verao = false;
    std::string cliche;  // lines separated by CR LF, with the header marker words
    bool cupom_adicional = false;
    bool desc_ISS = false;
    bool vinc_CNF = false;
    bool RV_na_conferencia = false;
    bool RZ_automatica = false;
    bool Bilhete_passagem = false;
    std::array<std::string, kRates> aliquota = DefaultRates();  // aliquota1 .. aliquota16
    std::string vinc = "0000000000000000";  // "1": rate n is not IVA
    std::string Restaurante_Loja;               // "0" restaurant, "1" store
    std::string Parametriza_Cupom_Conferencia;  // "-1" none, "0" to "3"
    std::array<std::string, kTotalizers> tot_nao_suj;  // tot_nao_suj1 .. tot_nao_suj50

    bool operator==(const Equipment&) const = default;

  private:
    static std::array<std::string, kRates> DefaultRates() {
        std::array<std::string, kRates> r;
        r.fill("0000");
        return r;
    }
};

// The 87 stored fields in file order: the element name and where the value lives.
struct EquipmentField {
    std::string element;
    bool flag = false;
    std::string Equipment::*text = nullptr;
    bool Equipment::*boolean = nullptr;
    int rate = -1;       // 0-based aliquota index
    int totalizer = -1;  // 0-based name index

    // The value as written to the file ("1"/"0" for flags).
    std::string Get(const Equipment& e) const;
    // Text fields take `value` unchanged; a flag is true unless the text is exactly "0".
    void Set(Equipment& e, const std::string& value) const;
    bool GetFlag(const Equipment& e) const { return e.*boolean; }
    void SetFlag(Equipment& e, bool on) const { e.*boolean = on; }
};
const std::vector<EquipmentField>& EquipmentFields();
// The field of that element name, or null.
const EquipmentField* FindEquipmentField(const std::string& element);

// "<AppDirectory>/equipamentos.xml".
std::string EquipmentStorePath(const std::string& app_directory);

// The store: the records of the file, in file order.
class ConfigurationsControl {
public:
    // The file of the process's application directory.
    ConfigurationsControl();
    explicit ConfigurationsControl(std::string file);
    virtual ~ConfigurationsControl() = default;

    std::vector<Equipment> records;
    int count = 0;

    const std::string& File() const { return file_; }

    // 0 after loading (the records appended), -1 when the file cannot be loaded (nothing added).
    int ReadEquipments();
    // 0 when the file was saved whole, non-zero otherwise (the old file is left as it was).
    // A file that was there but did not read is first kept as "<file>.bak" ("<file>.bak2", ...);
    // when that copy cannot be made nothing is written.
    int WriteEquipments();
    // 0 when appended (or, with `replace`, moved to the end replacing the first record of that
    // serial number); 1 when the serial number is there and `replace` is false.
    int AddEquipment(const Equipment& record, bool replace);

    // Why the last ReadEquipments or WriteEquipments failed.
    const std::string& LastError() const { return error_; }
    // The backup made by the last WriteEquipments, or empty.
    const std::string& Backup() const { return backup_; }

    // The document of the records, as the file holds it.
    static std::string Serialize(const std::vector<Equipment>& records);
    // The records of a document held in memory; false when it does not parse.
    static bool Parse(const std::string& xml, std::vector<Equipment>& out, std::string* error = nullptr);

private:
    static void BuildDocument(BDOM& dom, const std::vector<Equipment>& records);
    static void ReadRecords(const BDOM& dom, std::vector<Equipment>& out);

    std::string file_;
    BDOM dom_;
    bool unreadable_ = false;
    std::string error_;
    std::string backup_;
};

}  // namespace ordavo
