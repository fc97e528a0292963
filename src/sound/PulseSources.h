#pragma once
// The sources a sound server records from: sound cards' inputs (a receiver's USB sound card
// among them) and the monitors of its sinks, with the descriptions the desktop shows.

#include <QString>
#include <vector>

namespace cwt {

class PulseClient;

struct SoundSource {
    QString name;          // what the server knows it by, given back to open a stream on it
    QString description;   // what the operator reads ("USB Audio CODEC 아날로그 스테레오")
    bool monitor = false;  // the monitor of a sink: what that sink plays
};

struct SourceListing {
    bool ok = false;  // the server answered
    std::vector<SoundSource> sources;
    QString defaultName;  // the server's default source
    QString error;        // why not, when the server did not answer
};

// Asks the server behind `client` for its sources, waiting at most `timeoutMs`. Takes the
// loop lock itself: GUI thread, with the lock not held.
SourceListing ListSources(PulseClient& client, int timeoutMs);

}  // namespace cwt
