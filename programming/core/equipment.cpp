#include "programming/core/equipment.h"

#include <bitset>
#include <filesystem>
#include <unordered_map>

#include "engine/env.h"
#include "engine/util.h"

namespace ordavo {
namespace {

constexpr char kFileName[] = "equipamentos.xml";
constexpr char kRecordIndent[] = "\n\t";
constexpr char kFieldIndent[] = "\n\t\t";

std::vector<EquipmentField> BuildFields() {
    std::vector<EquipmentField> f;
    auto text = [&](const char* name, std::string Equipment::*member) {
        EquipmentField x;
        x.element = name;
        x.text = member;
        f.push_back(x);
    };
    auto flag = [&](const char* name, bool Equipment::*member) {
        EquipmentField x;
        x.element = name;
        x.flag = true;
        x.boolean = member;
        f.push_back(x);
    };
    text("numero_de_serie", &Equipment::numero_de_serie);
    text("cliente", &Equipment::cliente);
    text("CNPJ", &Equipment::CNPJ);
    text("IE", &Equipment::IE);
    text("IM", &Equipment::IM);
    text("UF", &Equipment::UF);
    text("numero_da_loja", &Equipment::numero_da_loja);
    text("numero_do_caixa", &Equipment::numero_do_caixa);
    text("data", &Equipment::data);
    text("hora", &Equipment::hora);
    flag("horario_de_verao", &Equipment::horario_de_verao);
    text("cliche", &Equipment::cliche);
    flag("cupom_adicional", &Equipment::cupom_adicional);
    flag("desc_ISS", &Equipment::desc_ISS);
    flag("vinc_CNF", &Equipment::vinc_CNF);
    flag("RV_na_conferencia", &Equipment::RV_na_conferencia);
    flag("RZ_automatica", &Equipment::RZ_automatica);
    flag("Bilhete_passagem", &Equipment::Bilhete_passagem);
    for (int i = 0; i < Equipment::kRates; ++i) {
        EquipmentField x;
        x.element = "aliquota" + std::to_string(i + 1);
        x.rate = i;
        f.push_back(x);
    }
    text("vinc", &Equipment::vinc);
    text("Restaurante_Loja", &Equipment::Restaurante_Loja);
    text("Parametriza_Cupom_Conferencia", &Equipment::Parametriza_Cupom_Conferencia);
    for (int i = 0; i < Equipment::kTotalizers; ++i) {
        EquipmentField x;
        x.element = "tot_nao_suj" + std::to_string(i + 1);
        x.totalizer = i;
        f.push_back(x);
    }
    return f;
}

// The parser gives bare line feeds, and a carriage return written out comes back as a
// character reference: either way every line ends in CR LF afterwards, exactly once.
std::string WithCrLf(std::string text) {
    ReplaceAll(text, "\r\n", "\n");
    ReplaceAll(text, "\n", "\r\n");
    return text;
}

}  // namespace

const std::vector<EquipmentField>& EquipmentFields() {
    static const std::vector<EquipmentField> fields = BuildFields();
    return fields;
}

const EquipmentField* FindEquipmentField(const std::string& element) {
    static const std::unordered_map<std::string, const EquipmentField*> index = [] {
        std::unordered_map<std::string, const EquipmentField*> m;
        for (const EquipmentField& f : EquipmentFields()) m[f.element] = &f;
        return m;
    }();
    auto it = index.find(element);
    return it == index.end() ? nullptr : it->second;
}

std::string EquipmentField::Get(const Equipment& e) const {
    if (flag) return e.*boolean ? "1" : "0";
    if (text) return e.*text;
    if (rate >= 0) return e.aliquota[static_cast<size_t>(rate)];
    return e.tot_nao_suj[static_cast<size_t>(totalizer)];
}

void EquipmentField::Set(Equipment& e, const std::string& value) const {
    if (flag) {
        e.*boolean = value != "0";
    } else if (text) {
        e.*text = value;
    } else if (rate >= 0) {
        e.aliquota[static_cast<size_t>(rate)] = value;
    } else {
        e.tot_nao_suj[static_cast<size_t>(totalizer)] = value;
    }
}

std::string EquipmentStorePath(const std::string& app_directory) {
    if (app_directory.empty()) return kFileName;
    return app_directory + "/" + kFileName;
}

ConfigurationsControl::ConfigurationsControl()
    : ConfigurationsControl(EquipmentStorePath(EngineEnv().settings->AppDirectory)) {}

ConfigurationsControl::ConfigurationsControl(std::string file) : file_(std::move(file)) {}

void ConfigurationsControl::ReadRecords(const BDOM& dom, std::vector<Equipment>& out) {
    const std::vector<EquipmentField>& fields = EquipmentFields();
    for (BNode node : dom.SelectNodes("//equipamento")) {
        Equipment e;
        // One pass over the children: the first element of each name counts. The file's own
        // order is tried first, so a record as written costs one comparison per element.
        std::bitset<87> seen;
        size_t expected = 0;
        for (BNode child : BDOM::ChildNodes(node)) {
            const std::string name = BDOM::NodeName(child);
            if (name.empty() || name[0] == '#') continue;
            const EquipmentField* f = nullptr;
            if (expected < fields.size() && fields[expected].element == name)
                f = &fields[expected];
            else
                f = FindEquipmentField(name);
            if (!f) continue;
            const size_t index = static_cast<size_t>(f - fields.data());
            expected = index + 1;
            if (seen[index]) continue;
            seen[index] = true;
            std::string value = BDOM::Text(child);
            if (f->text == &Equipment::cliche) value = WithCrLf(std::move(value));
            f->Set(e, value);
        }
        out.push_back(std::move(e));
    }
}

int ConfigurationsControl::ReadEquipments() {
    error_.clear();
    std::error_code ec;
    if (!std::filesystem::exists(file_, ec)) {
        // No store yet: nothing to read, nothing to keep.
        unreadable_ = false;
        error_ = file_ + ": no such file";
        return -1;
    }
    if (dom_.Load(file_) != 0) {
        error_ = dom_.LastError();
        // A file that is there but does not read must not be lost by the next write.
        unreadable_ = std::filesystem::exists(file_, ec);
        return -1;
    }
    unreadable_ = false;
    const size_t before = records.size();
    ReadRecords(dom_, records);
    count = static_cast<int>(records.size() - before);
    return 0;
}

void ConfigurationsControl::BuildDocument(BDOM& dom, const std::vector<Equipment>& records) {
    dom.NewDocument();
    dom.CreateProcessingInstruction("xml", "version='1.0' encoding='Windows-1252'");
    dom.AppendChild(nullptr, dom.CreateProcessingInstruction("xml-stylesheet", "type='text/xml' href='style.xsl'"));
    BNode root = dom.CreateElement("equipos");
    dom.SetAttribute(root, "xml:space", "preserve");
    dom.AppendChild(nullptr, root);
    const std::vector<EquipmentField>& fields = EquipmentFields();
    for (const Equipment& e : records) {
        dom.AppendChild(root, dom.CreateTextNode(kRecordIndent));
        BNode record = dom.CreateElement("equipamento");
        for (const EquipmentField& f : fields) {
            dom.AppendChild(record, dom.CreateTextNode(kFieldIndent));
            BNode element = dom.CreateElement(f.element);
            // A plain text node: the writer escapes what needs escaping.
            const std::string value = f.Get(e);
            if (!value.empty()) dom.AppendChild(element, dom.CreateTextNode(value));
            dom.AppendChild(record, element);
        }
        dom.AppendChild(record, dom.CreateTextNode(kRecordIndent));
        dom.AppendChild(root, record);
    }
    dom.AppendChild(root, dom.CreateTextNode("\n"));
}

int ConfigurationsControl::WriteEquipments() {
    error_.clear();
    backup_.clear();
    std::error_code ec;
    if (unreadable_ && std::filesystem::exists(file_, ec)) {
        std::string backup = file_ + ".bak";
        for (int n = 2; std::filesystem::exists(backup, ec); ++n) backup = file_ + ".bak" + std::to_string(n);
        if (!std::filesystem::copy_file(file_, backup, ec) || ec) {
            error_ = "cannot keep the unreadable " + file_ + " as " + backup + ": " + ec.message();
            return -1;
        }
        backup_ = backup;
        unreadable_ = false;
    }
    // The object's own document: it lives as long as the store does, like the one read.
    BuildDocument(dom_, records);
    if (dom_.Save(file_) != 0) {
        error_ = "cannot write " + file_;
        return -1;
    }
    return 0;
}

int ConfigurationsControl::AddEquipment(const Equipment& record, bool replace) {
    for (auto it = records.begin(); it != records.end(); ++it) {
        if (it->numero_de_serie != record.numero_de_serie) continue;
        if (!replace) return 1;
        records.erase(it);
        records.push_back(record);
        return 0;
    }
    records.push_back(record);
    ++count;
    return 0;
}

std::string ConfigurationsControl::Serialize(const std::vector<Equipment>& records) {
    BDOM dom;
    BuildDocument(dom, records);
    return dom.Serialize();
}

bool ConfigurationsControl::Parse(const std::string& xml, std::vector<Equipment>& out, std::string* error) {
    BDOM dom;
    if (dom.LoadMemory(xml) != 0) {
        if (error) *error = dom.LastError();
        return false;
    }
    ReadRecords(dom, out);
    return true;
}

}  // namespace ordavo
