// Scans and dispatches a 1 MB mixed Korean/English text with procedure signs: every code
// string a whole send would play, as pressing Start plans it.
#include <benchmark/benchmark.h>

#include <string>

#include "engine/morse/Cp949Text.h"
#include "engine/morse/SendDispatch.h"
#include "engine/morse/TextPrep.h"

namespace {

std::u16string MixedText(size_t bytesWanted) {
    const std::u16string piece =
        u"CQ CQ DE HL1ABC [AR] 안녕하세요 예요 얘기  73 [SK] QTH 서울, RST 599?\n"
        u"THE QUICK BROWN FOX 12345 (TEST) 'QUOTE' \"DQ\" 닭 없 뷁 [VVVVV] [K]A [12]\t;:/=+-.\n";
    const auto pieceBytes = static_cast<size_t>(cwt::Cp949Text::FromEditor(piece).byteCount());
    std::u16string text;
    for (size_t bytes = 0; bytes < bytesWanted; bytes += pieceBytes) text += piece;
    return text;
}

void ScanAndDispatch1MB(benchmark::State& state) {
    const auto editor = cwt::Cp949Text::FromEditor(MixedText(1 << 20));
    const std::string bytes = cwt::CollapseSpaces(editor.bytes());
    size_t buffers = 0;
    for (auto _ : state) {
        auto planned = cwt::PlanWholeSend(bytes, {true, true});
        buffers = planned.size();
        benchmark::DoNotOptimize(planned.data());
    }
    state.counters["bytes"] = static_cast<double>(bytes.size());
    state.counters["buffers"] = static_cast<double>(buffers);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(ScanAndDispatch1MB)->Unit(benchmark::kMillisecond);

void EncodeEditorText1MB(benchmark::State& state) {
    const std::u16string text = MixedText(1 << 20);
    for (auto _ : state) {
        auto encoded = cwt::Cp949Text::FromEditor(text);
        benchmark::DoNotOptimize(encoded.bytes().data());
    }
}
BENCHMARK(EncodeEditorText1MB)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
