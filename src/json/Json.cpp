#include "json/Json.h"

namespace quorvel {

std::string JsonLine(const JsonObject& object) {
    return object.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace quorvel
