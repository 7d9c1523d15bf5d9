#pragma once

#include <string>
#include <string_view>

namespace kon {

// Standard base64 (RFC 4648) with "=" padding, as data URIs carry it.
std::string EncodeBase64(std::string_view bytes);

}  // namespace kon
