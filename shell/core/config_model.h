// The settings dialog's data and rules without widgets: the lists it offers, how a stored
// text picks a list entry, what OK stores, and the USB access rule that its driver button
// installs.
#pragma once

#include <string>
#include <vector>

#include "shell/core/settings.h"

namespace ordavo {

// String numbers of the dialog's texts.
enum ConfigStringId : int {
    IDS_CFG_MOSTRAR_RESULTADOS = 32970,
    IDS_CFG_FILTRAR = 32971,
    IDS_CFG_RETORNO_EXTENDIDO = 32972,
    IDS_CFG_EQUIPO = 32969,
    IDS_CFG_PUERTO = 32929,
    IDS_CFG_TASA = 33109,
    IDS_CFG_PAIS = 33108,
    IDS_CFG_INSTALAR_USB = 33007,
    IDS_CFG_ERROR_DRIVER_USB = 33006,
};

std::vector<std::string> PortEntries();     // "USB", "FILE", "COM1:" ... "COM8:"
std::vector<std::string> ModelEntries();    // three 20-character model names
std::vector<std::string> CountryEntries();  // the countries and "-- Otro --", sorted
std::vector<std::string> SpeedEntries();    // "9600" ... "115200"

// The serial devices present: /dev/ttyS* that the kernel found a UART behind, /dev/ttyUSB*,
// /dev/ttyACM* and the links of /dev/serial/by-id, each group in natural order ("ttyUSB2"
// before "ttyUSB10"). The directories are parameters so that tests can use their own.
std::vector<std::string> ListSerialDevices(const std::string& dev_dir = "/dev",
                                           const std::string& sys_tty_dir = "/sys/class/tty");

// What the port list offers after PortEntries(): "SOCKET", then the serial devices present
// under the names a person recognises: the /dev/serial/by-id links first, then the devices
// that no such link names. /dev/ttyS0 to /dev/ttyS7 are left out: they are "COM1:" to "COM8:".
std::vector<std::string> ExtraPortEntries(const std::string& dev_dir = "/dev",
                                          const std::string& sys_tty_dir = "/sys/class/tty");

// The index of the first entry that begins with `text`, ignoring case; -1 when none does or
// the text is empty (an empty setting shows an empty field rather than the first entry).
int FindListEntry(const std::vector<std::string>& entries, const std::string& text);

// 9600, 19200, 57600 or 115200 when the text is exactly one of them, else 9600.
int BaudRateFromText(const std::string& text);

struct ConfigFields {
    std::string port, model, country, speed;
    std::string socket_peer;  // shown while the port is "SOCKET"
    int show_results = 0;
    int extended_return = 1;
    int filter = 0;
    bool lock_filter = false;
    bool lock_model = false;
};

// The fields as the dialog opens them over `s`.
ConfigFields ConfigFieldsFrom(const Settings& s);

// What the dialog's OK stores itself: country, port, speed and socket peer; and a
// "Kestrel 2           " model clears the extended return in `s` and in the fields.
void ApplyConfigOk(ConfigFields& fields, Settings& s);

// What the main window takes from a confirmed dialog: model, show results, filter and
// extended return, then the model mask of the model.
void ApplyConfigToMainWindow(const ConfigFields& fields, Settings& s);

// The five USB hardware identifiers of the maker's printers, in installation order.
std::vector<std::string> UsbHardwareIds();
// The udev rules that give the seat's user (and the "plugdev" group) access to those devices
// and keep ModemManager away from them. Never world-writable.
std::string UdevRulesText();
// Where the rules are installed.
extern const char* const kUdevRulesPath;
// The shell script run as root through pkexec: $1 is the rules file to install.
std::string UdevInstallScript();

}  // namespace ordavo
