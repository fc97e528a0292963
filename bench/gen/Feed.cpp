#include "bench/gen/Feed.h"

namespace cwt::testgen {

namespace {

void TickThrough(decode::KeyedDecoder& decoder, double fromMs, double toMs, double tickMs) {
    if (tickMs <= 0) return;
    for (double t = fromMs + tickMs; t < toMs; t += tickMs) decoder.idle(t);
}

}  // namespace

void Feed(decode::KeyedDecoder& decoder, const Keying& keying, double tickMs, double pauseMs) {
    for (const decode::KeyStretch& s : keying.stretches) {
        if (!s.mark) TickThrough(decoder, s.startMs, s.startMs + s.lengthMs, tickMs);
        decoder.push(s);
    }
    if (pauseMs <= 0) return;
    TickThrough(decoder, keying.endMs, keying.endMs + pauseMs, tickMs);
    decoder.idle(keying.endMs + pauseMs);
    decoder.push({false, keying.endMs, pauseMs, 0});
}

}  // namespace cwt::testgen
