// The string table. Texts are Windows-1252 bytes; each number appears once.
#include "engine/strings.h"

#include <algorithm>
#include <utility>

namespace ordavo {
namespace {

struct Entry {
    int id;
    const char* text;
};

// Kept in ascending order for reading; the lookup sorts its own copy anyway.
constexpr Entry kTable[] = {
    {32776, "COMANDO OK"},
    {32777, "COMANDO NO RECIBIDO"},
    {32778, "Error al enviar comando"},
    {32779, "Par\xE1metro obligat\xF3rio no llenado"},
    {32780, "Par\xE1metro con tama\xF1o equivocado"},
    {32781, "No fu\xE9 posible carregar la DLL"},
    {32784, "No fu\xE9 posible cargar el archivo \".xml\" con la definici\xF3n de los comandos"},
    {32785, "Comando Anulado"},
    {32800, "Ali\xF1" "amento a la izquierda activado"},
    {32801, "Ali\xF1" "amento a la izquierda deactivado"},
    {32806, "Autenticaci\xF3n"},
    {32820, "Anular"},
    {32826, "Sensor de gaveta n\xEDvel 0."},
    {32827, "Sensor de gaveta n\xEDvel 1."},
    {32834, "Comando"},
    {32839, "Corte del pr\xF3ximo documento activado"},
    {32840, "Corte del pr\xF3ximo documento desactivado"},
    {32841, "Cutter"},
    {32852, "Gaveta"},
    {32855, "EPROM conectada"},
    {32856, "EPROM desconectada"},
    {32858, "Salir"},
    {32862, "Archivo criado con \xE9xito: \r\n%s"},
    {32863, "Comprobante de Venta"},
    {32866, "Ayuda"},
    {32867, "Acerca del Ordavo"},
    {32868, "T\xF3picos de Ayuda (F1)"},
    {32882, "Operaciones con Archivos"},
    {32885, "no"},
    {32886, "Equipo en modo de operaci\xF3n normal"},
    {32889, "\xBF" "Comienzar el documento ahora?"},
    {32891, "Operaciones"},
    {32901, "Presenter"},
    {32908, "Programar Equipo"},
    {32909, "Programar Clich\xE9 Gr\xE1" "fico"},
    {32910, "si"},
    {32915, "Ordavo"},
    {32917, "Redondeamento activado"},
    {32919, "Z Autom\xE1tica"},
    {32920, "Z Por comando"},
    {32921, "Grabar"},
    {32927, "Secu\xE9ncia de Comandos"},
    {32929, "Puerto de Comunicaci\xF3n"},
    {32932, "Equipo en intervenci\xF3n t\xE9" "cnica"},
    {32934, "Billete de pasaje"},
    {32947, "Truncamento activado"},
    {32948, "Selecione la fecha"},
    {32964, "Por favor, aguarde....."},
    {32966, "Refer\xE9ncia de los comandos"},
    {32967, "Operaciones con Archivos"},
    {32968, "Configuraciones"},
    {32969, "Equipo:"},
    {32970, "Mostrar resultados despu\xE9s de la ejecuci\xF3n de los comandos"},
    {32971, "Filtrar comandos conforme equipo"},
    {32972, "Retorno Extendido"},
    {32977, "Mensaje"},
    {32978, "Dump"},
    {32979, "Cargando el arquivo \".xml\" de definici\xF3n de los comandos..."},
    {32983, "Progreso"},
    {32984, "Procesando retorno"},
    {32985, "Recibiendo Retorno..."},
    {32999, "Archivo mra sin n\xFAmero serial."},
    {33000, "Fecha inv\xE1lida"},
    {33001, "No fue posible abrir el archivo .txt"},
    {33002, "No fue possible abrir el archivo .mdb"},
    {33003, "Archivos sin datos v\xE1lidos."},
    {33004, "Comando no ejecutado"},
    {33006, "Error en la instalaci\xF3n del driver USB"},
    {33007, "Instalar Driver USB"},
    {33009, "Resultado"},
    {33013, "Por favor aguarde. Download MPK."},
    {33015, "Por favor aguarde. Download Clave."},
    {33016, "Por favor aguarde. Download MFK."},
    {33017, "Impresora no responde"},
    {33018, "Sintaxis incorrecta"},
    {33019, "Puerta Comunicac\xEDon inv\xE1lida"},
    {33020, "Tipo Download inv\xE1lido"},
    {33021, "Fecha inicial posterior a final"},
    {33022, "COO inv\xE1lido"},
    {33023, "Usu\xE1rio inv\xE1lido"},
    {33024, "COO inicial posterior a final"},
    {33025, "Poca memoria de ejecuci\xF3n"},
    {33026, "Archivo inv\xE1lido"},
    {33027, "Por Favor Aguarde. Download Lectura X."},
    {33028, "Error en la Puerta Serial"},
    {33029, "Error en el Archivo de Sal\xED" "da"},
    {33034, "ALTERACI\xD3N DE USUARIO"},
    {33035, "Archivo Valido"},
    {33036, "Archivo Invalido"},
    {33037, "Archivo no encontrado."},
    {33038, "Aguarde......"},
    {33070, "No fu\xE9 posible crear el archivo."},
    {33075, "Download Anulado"},
    {33076, "FIN DE PAPEL"},
    {33077, "POCO PAPEL"},
    {33078, "ERROR EN EL RELOJ"},
    {33079, "IMPRESORA EN ERROR"},
    {33080, "PRIMER DATO DE CMD NO FUE ESC (1BH)"},
    {33081, "COMANDO INEXISTENTE"},
    {33082, "TICKET ABIERTO"},
    {33083, "N\xDAMERO DE PAR\xC1METROS DE CMD INV\xC1LIDO"},
    {33084, "TIPO DE PAR\xC1METRO DE CMD INV\xC1LIDO"},
    {33085, "MEMORIA FISCAL LLENA"},
    {33086, "ERROR EN LA MEMORIA RAM CMOS NO VOL\xC1TIL"},
    {33087, "TASA NO PROGRAMADA"},
    {33088, "CAPACIDAD DE TASAS PROGRAMABLES LLENA"},
    {33089, "ANULACI\xD3N NO PERMITIDA"},
    {33090, "IDENTIFICACI\xD3N FISCAL NO PROGRAMADA"},
    {33091, "COMANDO NO EJECUTADO"},
    {33093, "Error haciendo download"},
    {33094, "Error en la operaci\xF3n"},
    {33095, "Archivo de ayuda no encontrado"},
    {33100, "BOLETA DE CR\xC9" "DITO O D\xC9" "BITO"},
    {33101, "\xA1" "Atenci\xF3n: Detectada C\xE9lulas no OK!"},
    {33102, "Llave P\xFA" "blica con error"},
    {33108, "Pa\xEDs"},
    {33109, "Tasa de Comunicaci\xF3n"},
    {33110, "Total del s\xEDmbolos del conjunto:"},
    {33111, "Total del s\xEDmbolos ya leidos:"},
    {33112, "Resultado de la Lectura"},
    {33113, "Configurar"},
    {33118, "Validati\xF3n Z"},
    {33119, "Leer"},
    {33124, "-- Otro --"},
    {33130, "Cargar comandos"},
    {33131, "\xA1 Autenticaci\xF3n OK !"},
    {33134, "Factura Consumidor Final"},
    {33135, "Factura para Cr\xE9" "dito Fiscal"},
    {33136, "Nota Cr\xE9" "dito Consumidor Final"},
    {33137, "Nota Cr\xE9" "dito para Cr\xE9" "dito Fiscal"},
    {33150, "Faltan s\xEDmbolos del conjunto PDF-417"},
};

const std::vector<std::pair<int, std::string>>& Table() {
    static const std::vector<std::pair<int, std::string>> table = [] {
        std::vector<std::pair<int, std::string>> t;
        t.reserve(std::size(kTable));
        for (const Entry& e : kTable) t.emplace_back(e.id, e.text);
        std::sort(t.begin(), t.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
        return t;
    }();
    return table;
}

const std::pair<int, std::string>* Find(int id) {
    const auto& t = Table();
    auto it = std::lower_bound(t.begin(), t.end(), id, [](const auto& e, int key) { return e.first < key; });
    if (it == t.end() || it->first != id) return nullptr;
    return &*it;
}

}  // namespace

const std::string& Str(int id) {
    static const std::string empty;
    const auto* e = Find(id);
    return e ? e->second : empty;
}

bool HasStr(int id) { return Find(id) != nullptr; }

std::vector<int> StrIds() {
    std::vector<int> ids;
    ids.reserve(Table().size());
    for (const auto& e : Table()) ids.push_back(e.first);
    return ids;
}

}  // namespace ordavo
