#pragma once
// A record stream that is read: mono float samples from a source of the sound server (its
// default source, or one the operator picked) at the rate the reader asks for, handed from the
// libpulse thread to the reader through a lock-free ring. The server mixes the channels down
// and converts the rate.
//
// open(), close() and listSources() are for the GUI thread; each waits at most about a second
// for the server, so a server that stopped answering costs that second and no more. read() is
// for one reading thread, which must not read while open() or close() runs. A source that goes away
// or a server that goes away turns state() into SourceLost or ServerLost; the samples already in
// the ring can still be read.

#include <QString>
#include <memory>

#include "sound/PulseSources.h"
#include "sound/SampleInput.h"

namespace cwt {

class PulseInput : public SampleInput {
public:
    PulseInput();
    ~PulseInput() override;
    PulseInput(const PulseInput&) = delete;
    PulseInput& operator=(const PulseInput&) = delete;

    // The server's sources and its default source.
    SourceListing listSources();

    // Starts recording `sourceName`, or the server's default source when it is empty (the
    // stream then follows the default when the server moves it). A named source is kept: when
    // it goes away the input reports SourceLost rather than moving to another one. The server
    // hands over a fragment about every `fragmentMs`. False when the server or the source
    // cannot be had (lastError() says why, in the server's words).
    bool open(const QString& sourceName, int rateHz, int fragmentMs = 20);
    void close();
    bool isOpen() const;
    // The source the stream records, as the server names it (the default source resolved).
    QString sourceName() const;
    QString lastError() const;
    // Samples the reader did not take in time and that were dropped.
    uint64_t droppedSamples() const;

    int rateHz() const override;
    size_t read(float* out, size_t max) override;
    State state() const override;

    struct Impl;

private:
    std::unique_ptr<Impl> m_impl;
};

}  // namespace cwt
