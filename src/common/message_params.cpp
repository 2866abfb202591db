#include "common/message_params.h"

namespace tavrolin {

std::int32_t MakeLong(std::int16_t low, std::int16_t high) {
  const auto bits = (static_cast<std::uint32_t>(static_cast<std::uint16_t>(high)) << 16) |
                    static_cast<std::uint16_t>(low);
  return static_cast<std::int32_t>(bits);
}

}  // namespace tavrolin
