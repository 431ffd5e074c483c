#include "drives/floppy_driver.h"

#include "core/operation_log.h"

namespace sv {

std::string formatDriverVersion(std::uint32_t version) {
    return std::to_string(version >> 24) + "." + zeroPadded((version >> 16) & 0xFF, 2) + "." +
           zeroPadded((version >> 8) & 0xFF, 2) + "." + zeroPadded(version & 0xFF, 2);
}

}  // namespace sv
