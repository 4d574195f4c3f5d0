#include "service/Metrics.h"

#include <cstdio>
#include <sstream>

namespace quorvel::service {

namespace {

constexpr const char* kOutcomeLabels[kOutcomeCount] = {"genuine",     "not_genuine", "answered",
                                                       "bad_request", "not_found",   "too_large",
                                                       "busy",        "failed",      "dropped"};

constexpr const char* kCutLabels[kCutReasonCount] = {"header_time", "request_time", "closed"};
constexpr const char* kDroppedLabels[3] = {"client_gone", "out_of_time", "stopping"};

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", value);
    return text;
}

}  // namespace

const char* OutcomeLabel(Outcome outcome) {
    return kOutcomeLabels[static_cast<std::size_t>(outcome)];
}

Outcome OutcomeOf(unsigned status, int genuine) {
    switch (status) {
        case 200:
            return genuine > 0    ? Outcome::Genuine
                   : genuine == 0 ? Outcome::NotGenuine
                                  : Outcome::Answered;
        case 400:
        case 411:
        case 501:
            return Outcome::BadRequest;
        case 404:
        case 405:
            return Outcome::NotFound;
        case 413:
        case 431:
            return Outcome::TooLarge;
        case 503:
            return Outcome::Busy;
        case 0:
            return Outcome::Dropped;
        default:
            return Outcome::Failed;
    }
}

void Metrics::Finished(Outcome outcome, double seconds) {
    m_outcomes[static_cast<std::size_t>(outcome)].fetch_add(1);
    std::size_t bucket = 0;
    while (bucket < kBuckets.size() && seconds > kBuckets[bucket]) ++bucket;
    m_buckets[bucket].fetch_add(1);
    m_microseconds.fetch_add(static_cast<std::uint64_t>(seconds * 1e6));
    m_inFlight.fetch_sub(1);
}

std::string Metrics::Text(int workers, std::size_t pending, std::size_t running) const {
    std::ostringstream out;
    out << "# HELP quorvel_verifyd_requests_total Requests answered, by outcome.\n"
           "# TYPE quorvel_verifyd_requests_total counter\n";
    for (std::size_t i = 0; i < kOutcomeCount; ++i) {
        out << "quorvel_verifyd_requests_total{outcome=\"" << kOutcomeLabels[i] << "\"} "
            << m_outcomes[i].load() << "\n";
    }
    out << "# HELP quorvel_verifyd_request_duration_seconds Time from the request line to the "
           "end of the answer.\n"
           "# TYPE quorvel_verifyd_request_duration_seconds histogram\n";
    std::uint64_t cumulative = 0;
    for (std::size_t i = 0; i <= kBuckets.size(); ++i) {
        cumulative += m_buckets[i].load();
        const std::string le = i < kBuckets.size() ? Number(kBuckets[i]) : "+Inf";
        out << "quorvel_verifyd_request_duration_seconds_bucket{le=\"" << le << "\"} " << cumulative
            << "\n";
    }
    out << "quorvel_verifyd_request_duration_seconds_sum "
        << Number(static_cast<double>(m_microseconds.load()) / 1e6) << "\n"
        << "quorvel_verifyd_request_duration_seconds_count " << cumulative << "\n"
        << "# HELP quorvel_verifyd_requests_in_flight Requests being received, verified or "
           "answered.\n"
           "# TYPE quorvel_verifyd_requests_in_flight gauge\n"
        << "quorvel_verifyd_requests_in_flight " << m_inFlight.load() << "\n"
        << "# HELP quorvel_verifyd_verifications_pending Verifications running or queued.\n"
           "# TYPE quorvel_verifyd_verifications_pending gauge\n"
        << "quorvel_verifyd_verifications_pending " << pending << "\n"
        << "# HELP quorvel_verifyd_workers Verifications that can run at once.\n"
           "# TYPE quorvel_verifyd_workers gauge\n"
        << "quorvel_verifyd_workers " << workers << "\n";
    out << "# HELP quorvel_verifyd_verifications_running Verifications running.\n"
           "# TYPE quorvel_verifyd_verifications_running gauge\n"
        << "quorvel_verifyd_verifications_running " << running << "\n";
    out << "# HELP quorvel_verifyd_connections_cut_total Connections the service shut down "
           "itself, by reason.\n"
           "# TYPE quorvel_verifyd_connections_cut_total counter\n";
    for (std::size_t i = 0; i < kCutReasonCount; ++i) {
        out << "quorvel_verifyd_connections_cut_total{reason=\"" << kCutLabels[i] << "\"} "
            << m_cuts[i].load() << "\n";
    }
    out << "# HELP quorvel_verifyd_verifications_dropped_total Verifications dropped before "
           "their end, by reason.\n"
           "# TYPE quorvel_verifyd_verifications_dropped_total counter\n";
    for (std::size_t i = 0; i < m_dropped.size(); ++i) {
        out << "quorvel_verifyd_verifications_dropped_total{reason=\"" << kDroppedLabels[i]
            << "\"} " << m_dropped[i].load() << "\n";
    }
    out << "# HELP quorvel_verifyd_body_bytes_held Bytes of upload bodies reserved now.\n"
           "# TYPE quorvel_verifyd_body_bytes_held gauge\n"
        << "quorvel_verifyd_body_bytes_held " << m_bodyBytes.load() << "\n";
    return out.str();
}

}  // namespace quorvel::service
