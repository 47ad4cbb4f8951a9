#include "transport/printer_interface.h"

#include <cstring>

#include "shell/core/settings.h"
#include "transport/file_interface.h"
#include "transport/serial_interface.h"
#include "transport/socket_interface.h"
#include "transport/usb_interface.h"

namespace ordavo {

PrinterInterface::PrinterInterface() = default;

PrinterInterface::PrinterInterface(const char* port_name) {
    if (port_name) std::strncpy(port_name_, port_name, sizeof port_name_ - 1);
}

PrinterInterface::~PrinterInterface() = default;

int PrinterInterface::PutRequest(const uint8_t*, int, uint32_t*) { return 0; }

int PrinterInterface::TakeResponse(uint8_t*, int, uint32_t*) { return 0; }

std::unique_ptr<PrinterInterface> CreateTransport(const std::string& port_name, const Settings& settings) {
    if (port_name == "USB") return std::make_unique<UsbInterface>();
    if (port_name == "FILE") return std::make_unique<FileInterface>(FileInterface::DirectoryFor(settings));
    if (port_name == "SOCKET") return std::make_unique<SocketInterface>(settings.SocketPeer, settings.SocketHost);
    return std::make_unique<WinSerialInterface>(port_name.c_str());
}

}  // namespace ordavo
