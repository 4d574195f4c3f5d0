#include "service/HttpReply.h"

#include "json/VerifyJson.h"

namespace quorvel::service {

Reply JsonError(unsigned status, const std::string& message, const char* header,
                const char* value) {
    return Reply{status, JsonLine(JsonObject{{"error", message}}) + "\n", kJsonType, header, value};
}

Reply TryAgain(const std::string& message) {
    return JsonError(MHD_HTTP_SERVICE_UNAVAILABLE, message, MHD_HTTP_HEADER_RETRY_AFTER, "1");
}

MHD_Result QueueReply(MHD_Connection* connection, const Reply& reply, bool close) {
    MHD_Response* response = MHD_create_response_from_buffer(
        reply.body.size(), const_cast<char*>(reply.body.data()), MHD_RESPMEM_MUST_COPY);
    if (response == nullptr) return MHD_NO;
    MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, reply.type);
    MHD_add_response_header(response, MHD_HTTP_HEADER_CACHE_CONTROL, "no-store");
    if (reply.header != nullptr) MHD_add_response_header(response, reply.header, reply.value);
    if (close) MHD_add_response_header(response, MHD_HTTP_HEADER_CONNECTION, "close");
    const MHD_Result queued = MHD_queue_response(connection, reply.status, response);
    MHD_destroy_response(response);
    return queued;
}

}  // namespace quorvel::service
