#include "transport/printer_interface.h"

#include <cstring>

namespace ordavo {

PrinterInterface::PrinterInterface() = default;

PrinterInterface::PrinterInterface(const char* port_name) {
    if (port_name) std::strncpy(port_name_, port_name, sizeof port_name_ - 1);
}

PrinterInterface::~PrinterInterface() = default;

int PrinterInterface::PutRequest(const uint8_t*, int, uint32_t* written) {
    return 0;
}

int PrinterInterface::TakeResponse(uint8_t*, int, uint32_t* received) {
    return 0;
}

}  // namespace ordavo
