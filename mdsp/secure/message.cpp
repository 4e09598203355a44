#include "secure/message.h"

#include <cstring>

namespace mdsp {

Message::Message() { std::memset(payload, 0, sizeof payload); }

void Message::GetMac(uint8_t mac[6]) const { std::memcpy(mac, sourceMac, 6); }

}  // namespace mdsp
