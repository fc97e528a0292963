#include "sound/PulseSources.h"

#include <cstdio>

#include "sound/PulseClient.h"

namespace cwt {

namespace {

constexpr size_t kMaxSources = 64;
constexpr size_t kTextBytes = 256;

// What the libpulse thread fills in: fixed storage, reserved before the query, so that the
// callbacks allocate nothing.
struct SourceRecord {
    char name[kTextBytes] = {};
    char description[kTextBytes] = {};
    bool monitor = false;
};

struct Query {
    PulseClient* client = nullptr;
    std::vector<SourceRecord> records;
    char defaultName[kTextBytes] = {};
    bool listDone = false;
    bool serverDone = false;
};

void Copy(char (&to)[kTextBytes], const char* from) {
    std::snprintf(to, sizeof to, "%s", from ? from : "");
}

// libpulse thread: copies one source into reserved storage.
void SourceInfo(pa_context*, const pa_source_info* info, int eol, void* data) {
    auto* query = static_cast<Query*>(data);
    if (eol != 0) {
        query->listDone = true;
        query->client->signal();
        return;
    }
    if (query->records.size() == query->records.capacity()) return;
    SourceRecord& record = query->records.emplace_back();
    Copy(record.name, info->name);
    Copy(record.description, info->description);
    record.monitor = info->monitor_of_sink != PA_INVALID_INDEX;
}

// libpulse thread.
void ServerInfo(pa_context*, const pa_server_info* info, void* data) {
    auto* query = static_cast<Query*>(data);
    if (info) Copy(query->defaultName, info->default_source_name);
    query->serverDone = true;
    query->client->signal();
}

}  // namespace

SourceListing ListSources(PulseClient& client, int timeoutMs) {
    SourceListing listing;
    Query query;
    query.client = &client;
    query.records.reserve(kMaxSources);
    {
        PulseClient::Lock lock(client);
        client.dropIfFailed();
        if (!client.waitReady(timeoutMs)) {
            listing.error = QString::fromStdString(client.error());
            if (listing.error.isEmpty()) listing.error = QStringLiteral("Timeout");
            return listing;
        }
        pa_operation* server = pa_context_get_server_info(client.context(), &ServerInfo, &query);
        pa_operation* sources =
            pa_context_get_source_info_list(client.context(), &SourceInfo, &query);
        // A server that does not answer the first costs no second wait.
        const bool serverAnswered = client.waitOperation(server, timeoutMs);
        const bool sourcesListed = client.waitOperation(sources, serverAnswered ? timeoutMs : 0);
        if (!serverAnswered || !sourcesListed) {
            listing.error =
                client.ready() ? QStringLiteral("Timeout") : QString::fromStdString(client.error());
            return listing;
        }
    }
    listing.ok = true;
    listing.defaultName = QString::fromUtf8(query.defaultName);
    for (const SourceRecord& record : query.records) {
        listing.sources.push_back({QString::fromUtf8(record.name),
                                   QString::fromUtf8(record.description), record.monitor});
    }
    return listing;
}

}  // namespace cwt
