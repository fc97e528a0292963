// How well the decoder of received CW reads synthetic signals: QSO-like English and Korean,
// keyed by a paddle or a hand key (log-normal spreads), as a tone through Rayleigh fading and
// white noise at a stated key-on SNR. Prints the character error rate by Levenshtein (Korean
// also on the jamo sent), the real-time factor on one core (thread CPU time over audio time),
// and, with --multimon, multimon-ng's error rate on the same audio. --plot FILE.png draws CER
// against SNR (matplotlib). It prints figures and does not pass or fail.
//
//   engine_band_decode_bench                  a short run of a few points (a minute or so)
//   engine_band_decode_bench --full           the table: 5,000 characters a point
//   engine_band_decode_bench --rows           how many points the table has
//   engine_band_decode_bench --row N --multimon
//                                             the table's point N alone (several run side by
//                                             side: bench/band_decode_table.sh)
//   engine_band_decode_bench --curve --chars 1500 --plot cer.png
//                                             English and Korean against SNR, and the plot
//   engine_band_decode_bench --snr 2 [--korean] [--hand] [--doppler 1] [--chars N]
//                            [--phase-afresh]
//                                             one point
//   engine_band_decode_bench --snr 2 --chars 1500 --wav DIR
//                                             also writes each sitting's audio (DIR/*.wav, 16-bit
//                                             8 kHz) and the text keyed (*.txt), for decoders
//                                             that only listen (bench/fldigi_compare.py)
//   engine_band_decode_bench --snr -3 --delays
//                                             also how long after each letter's end its text
//                                             came, the sound fed 25 ms at a time as the
//                                             window's input is (the server's capture latency
//                                             and the window's poll come on top)
//   engine_band_decode_bench --score SENT.txt READ.txt
//                                             the errors of one reading of a text, as counted here
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "bench/gen/ErrorRate.h"
#include "bench/gen/FistGenerator.h"
#include "bench/gen/SoundChannel.h"
#include "bench/gen/Symbols.h"
#include "bench/gen/TextGenerator.h"
#include "bench/support/Percentile.h"
#include "engine/decode/BandDecoder.h"

namespace {

using namespace cwt::testgen;

constexpr size_t kLinesPerSitting = 10;  // one recording: a sender, one fading path
constexpr double kLinePauseMs = 2000;
constexpr size_t kChunkSamples = 512;  // as a sound card would hand them
constexpr double kLiveChunkMs = 25.0;   // as the window drains its input

struct Point {
    bool korean = false;
    KeyingStyle style = KeyingStyle::Paddle;
    double wpm = 20;
    double effectiveWpm = 0;
    double snrDb500 = 10;
    double dopplerHz = 0;
    double pitchHz = 700;
    bool phaseAfresh = false;  // each mark's tone at a phase of its own
    size_t characters = 5000;
    uint64_t seed = 1;
};

struct Result {
    ErrorTally characters;
    ErrorTally spaces;  // characters and word spaces
    ErrorTally jamo;
    double audioSeconds = 0;
    double cpuSeconds = 0;
    std::optional<ErrorTally> multimon;
    std::vector<double> delaysMs;  // with --delays: of each letter but a sitting's first
};

double ThreadCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + 1e-9 * double(ts.tv_nsec);
}

// One sitting's lines keyed one after another, with a pause between lines.
Keying KeySitting(const Point& p, const std::vector<std::string>& lines, size_t first,
                  size_t count) {
    Keying all;
    double t = 0;
    const double imbalance = DrawImbalance(p.seed * 1000 + first);
    for (size_t i = first; i < first + count && i < lines.size(); ++i) {
        KeyingOptions o;
        o.style = p.style;
        o.wpm = p.wpm;
        o.effectiveWpm = p.effectiveWpm;
        o.seed = p.seed * 7919 + i;
        o.startMs = t;
        o.imbalanceDots = imbalance;
        Keying k = KeyText(lines[i], o);
        if (!all.stretches.empty()) {
            all.stretches.push_back({false, all.endMs, t - all.endMs, 0});
            all.sent += u' ';
        }
        all.stretches.insert(all.stretches.end(), k.stretches.begin(), k.stretches.end());
        all.sent += k.sent;
        all.endMs = k.endMs;
        t = k.endMs + kLinePauseMs;
    }
    return all;
}

// The gain that keeps the loudest sample of a recording below full scale: at low SNR the
// noise peaks far above the tone, and clipped noise would be a channel other decoders hear
// but ours (which reads the samples unclipped) does not. A gain leaves the SNR as it was.
float HeadroomGain(const std::vector<float>& audio) {
    float peak = 0;
    for (float x : audio) peak = std::max(peak, std::abs(x));
    constexpr float kMaxPeak = 0.9f;
    return peak > kMaxPeak ? kMaxPeak / peak : 1.0f;
}

// 16-bit mono PCM, as any player takes it, scaled below full scale.
bool WriteWav(const std::string& path, const std::vector<float>& audio, int rateHz) {
    const float gain = HeadroomGain(audio);
    std::ofstream out(path, std::ios::binary);
    const auto u32 = [&](uint32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); };
    const auto u16 = [&](uint16_t v) { out.write(reinterpret_cast<const char*>(&v), 2); };
    const auto dataBytes = static_cast<uint32_t>(audio.size() * 2);
    out.write("RIFF", 4);
    u32(36 + dataBytes);
    out.write("WAVEfmt ", 8);
    u32(16);
    u16(1);
    u16(1);
    u32(static_cast<uint32_t>(rateHz));
    u32(static_cast<uint32_t>(rateHz) * 2);
    u16(2);
    u16(16);
    out.write("data", 4);
    u32(dataBytes);
    for (float x : audio) {
        const auto v = static_cast<int16_t>(std::lround(std::clamp(gain * x, -1.0f, 1.0f) * 32767));
        out.write(reinterpret_cast<const char*>(&v), 2);
    }
    return bool(out);
}

// multimon-ng's reading of the same audio (raw 16-bit at 22,050 Hz, what it takes).
std::optional<std::u16string> Multimon(const std::vector<float>& audio22k) {
    // One file a process: several points may run side by side.
    const std::string path = "/tmp/cwt_band_bench_multimon_" + std::to_string(getpid()) + ".raw";
    {
        std::ofstream out(path, std::ios::binary);
        const float gain = HeadroomGain(audio22k);
        for (float x : audio22k) {
            const auto v =
                static_cast<int16_t>(std::lround(std::clamp(gain * x, -1.0f, 1.0f) * 32767));
            out.write(reinterpret_cast<const char*>(&v), 2);
        }
    }
    const std::string command =
        std::string("multimon-ng -q -c -a MORSE_CW -t raw ") + path + " 2>/dev/null";
    struct Remove {
        const std::string& path;
        ~Remove() { std::remove(path.c_str()); }
    } remove{path};
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return std::nullopt;
    std::string text;
    char buffer[4096];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) text.append(buffer, n);
    if (pclose(pipe) != 0) return std::nullopt;
    // It prints the signs as the punctuation that shares their code; the texts hold none of
    // these marks, so they are read back as the signs.
    std::string cleaned;
    for (char c : text) {
        if (c == '(')
            cleaned += "[KN]";
        else if (c == '=')
            cleaned += "[BT]";
        else if (c == '+')
            cleaned += "[AR]";
        else
            cleaned += c == '\n' || c == '\r' ? ' ' : c;
    }
    return Symbols(cleaned);
}

std::string FileStem(const Point& p, size_t sitting) {
    char stem[160];
    std::snprintf(stem, sizeof stem, "%s_%s_%gwpm_fade%g_snr%+g_seed%llu_%03zu",
                  p.korean ? "ko" : "en", p.style == KeyingStyle::HandKey ? "hand" : "paddle",
                  p.wpm, p.dopplerHz, p.snrDb500, static_cast<unsigned long long>(p.seed), sitting);
    return stem;
}

Result Run(const Point& p, bool multimon, const std::string& wavDir, bool delays) {
    const std::vector<std::string> lines =
        p.korean ? KoreanLines(p.seed, p.characters) : EnglishQsoLines(p.seed, p.characters);
    Result r;
    for (size_t first = 0; first < lines.size(); first += kLinesPerSitting) {
        const Keying keying = KeySitting(p, lines, first, kLinesPerSitting);
        ChannelSettings ch;
        ch.pitchHz = p.pitchHz;
        ch.snrDb500 = p.snrDb500;
        ch.dopplerHz = p.dopplerHz;
        ch.phaseAfreshEachMark = p.phaseAfresh;
        ch.seed = p.seed * 31 + first;
        const std::vector<float> audio = RenderChannel(keying.stretches, ch);
        if (!wavDir.empty()) {
            const std::string stem = wavDir + "/" + FileStem(p, first / kLinesPerSitting);
            std::ofstream(stem + ".txt") << SymbolsToUtf8(keying.sent) << "\n";
            if (!WriteWav(stem + ".wav", audio, ch.sampleRateHz))
                std::fprintf(stderr, "%s.wav could not be written\n", stem.c_str());
        }
        cwt::decode::BandDecoderSettings settings;
        settings.korean = p.korean;
        const double start = ThreadCpuSeconds();
        cwt::decode::BandDecoder decoder(ch.sampleRateHz, settings);
        std::vector<cwt::decode::DecodedChar> read;
        const size_t chunk =
            delays ? static_cast<size_t>(kLiveChunkMs * ch.sampleRateHz / 1000) : kChunkSamples;
        for (size_t i = 0; i < audio.size(); i += chunk) {
            decoder.push({audio.data() + i, std::min(chunk, audio.size() - i)});
            for (auto& c : decoder.takeCharacters()) {
                // The sitting's first letter waits for the speed to be measured.
                if (delays && !c.wordSpaceCorrection && !read.empty())
                    r.delaysMs.push_back(decoder.timeMs() - c.endMs);
                read.push_back(std::move(c));
            }
        }
        decoder.finish();
        for (auto& c : decoder.takeCharacters()) read.push_back(std::move(c));
        r.cpuSeconds += ThreadCpuSeconds() - start;
        r.audioSeconds += double(audio.size()) / ch.sampleRateHz;
        const std::u16string got = Symbols(DecodedText(read));
        const ErrorTally sittingErrors = CharacterErrors(keying.sent, got);
        r.characters.add(sittingErrors);
        r.spaces.add(CharacterAndSpaceErrors(keying.sent, got));
        if (!wavDir.empty()) {
            const std::string stem = wavDir + "/" + FileStem(p, first / kLinesPerSitting);
            std::ofstream(stem + ".ours") << SymbolsToUtf8(got) << "\n";
        }
        if (p.korean) r.jamo.add(JamoErrors(keying.sent, got));
        if (std::getenv("CWT_BENCH_SHOW")) {
            std::printf("sent %s\nread %s\nsitting %zu: %ld errors in %ld characters (%.1f %%)\n",
                        SymbolsToUtf8(keying.sent).c_str(), SymbolsToUtf8(got).c_str(),
                        first / kLinesPerSitting, sittingErrors.errors, sittingErrors.symbols,
                        100.0 * sittingErrors.rate());
        }
        if (multimon && !p.korean) {
            ch.sampleRateHz = 22050;
            const auto heard = Multimon(RenderChannel(keying.stretches, ch));
            if (heard) {
                if (!r.multimon) r.multimon = ErrorTally{};
                r.multimon->add(CharacterErrors(keying.sent, *heard));
            }
        }
    }
    return r;
}

const char* StyleName(KeyingStyle s) {
    return s == KeyingStyle::HandKey ? "hand key" : s == KeyingStyle::Paddle ? "paddle" : "other";
}

void PrintDelays(const std::vector<double>& delaysMs) {
    if (delaysMs.empty()) return;
    std::printf("delay after a letter's end: median %.0f ms, 90 %% within %.0f ms, at most %.0f ms "
                "(%zu letters)\n",
                cwt::bench::Percentile(delaysMs, 0.5), cwt::bench::Percentile(delaysMs, 0.9),
                cwt::bench::Percentile(delaysMs, 1.0),
                delaysMs.size());
}

void PrintHeader() {
    std::printf("%-8s %-8s %4s %5s %7s %7s %6s %7s %7s %6s %7s %7s %8s\n", "text", "keying", "WPM",
                "fade", "SNR500", "SNR2k5", "chars", "CER%", "+sp%", "jamo", "jamo%", "mmon%",
                "RTF");
}

void PrintRow(const Point& p, const Result& r) {
    const std::string wpm =
        p.effectiveWpm > 0 ? std::to_string(int(p.wpm)) + "/" + std::to_string(int(p.effectiveWpm))
                           : std::to_string(int(p.wpm));
    std::printf("%-8s %-8s %4s %5.1f %7.1f %7.1f %6ld %7.2f %7.2f", p.korean ? "Korean" : "English",
                StyleName(p.style), wpm.c_str(), p.dopplerHz, p.snrDb500, Snr2500Of500(p.snrDb500),
                r.characters.symbols, 100 * r.characters.rate(), 100 * r.spaces.rate());
    if (p.korean)
        std::printf(" %6ld %7.2f", r.jamo.symbols, 100 * r.jamo.rate());
    else
        std::printf(" %6s %7s", "-", "-");
    if (r.multimon)
        std::printf(" %7.2f", 100 * r.multimon->rate());
    else
        std::printf(" %7s", "-");
    std::printf(" %8.4f\n", r.cpuSeconds / r.audioSeconds);
    std::fflush(stdout);
}

std::vector<Point> Table(size_t characters) {
    std::vector<Point> points;
    const auto add = [&](Point p) {
        p.characters = characters;
        p.seed = points.size() + 1;
        points.push_back(p);
    };
    for (double snr : {-6.0, -3.0, -1.0, 0.0, 2.0, 6.0, 10.0}) add({.snrDb500 = snr});
    for (double snr : {-3.0, -1.0, 0.0, 2.0, 6.0}) add({.korean = true, .snrDb500 = snr});
    for (double snr : {2.0, 6.0, 10.0}) add({.snrDb500 = snr, .dopplerHz = 0.1});
    for (double snr : {6.0, 13.8}) add({.snrDb500 = snr, .dopplerHz = 1.0});
    for (double snr : {6.0, 20.0}) add({.style = KeyingStyle::HandKey, .snrDb500 = snr});
    add({.wpm = 25, .effectiveWpm = 10, .snrDb500 = 6});
    return points;
}

void Plot(const std::vector<std::pair<Point, Result>>& rows, const std::string& png) {
    const std::string script = "/tmp/cwt_band_bench_plot.py";
    std::ofstream py(script);
    py << "import matplotlib\nmatplotlib.use('Agg')\nimport matplotlib.pyplot as plt\n"
          "series = {}\n";
    for (const auto& [p, r] : rows) {
        if (p.style != KeyingStyle::Paddle || p.effectiveWpm != 0) continue;
        std::string name =
            std::string(p.korean ? "Korean" : "English") +
            (p.dopplerHz > 0 ? ", fading " + std::to_string(p.dopplerHz).substr(0, 3) + " Hz" : "");
        py << "series.setdefault('" << name << "', []).append((" << p.snrDb500 << ", "
           << 100 * r.characters.rate() << "))\n";
        if (r.multimon && p.dopplerHz == 0)
            py << "series.setdefault('multimon-ng, English', []).append((" << p.snrDb500 << ", "
               << 100 * r.multimon->rate() << "))\n";
    }
    py << "fig, ax = plt.subplots(figsize=(7, 4.5))\n"
          "for name, pts in series.items():\n"
          "    pts.sort()\n"
          "    ax.plot([x for x, _ in pts], [max(y, 0.01) for _, y in pts], 'o-', label=name)\n"
          "ax.set_yscale('log')\nax.set_xlabel('key-on SNR in 500 Hz (dB)')\n"
          "ax.set_ylabel('character error rate (%)')\n"
          "ax.set_title('Decoder of received CW: paddle, 20 WPM, white noise')\n"
          "ax.axhline(2, color='grey', ls=':')\nax.axhline(10, color='grey', ls=':')\n"
          "ax.grid(True, which='both', alpha=0.3)\nax.legend()\nfig.tight_layout()\n"
          "fig.savefig('"
       << png << "', dpi=100)\n";
    py.close();
    // Debian's own python3, where python3-matplotlib installs, whatever else PATH finds first.
    if (std::system(("/usr/bin/python3 " + script).c_str()) != 0)
        std::fprintf(stderr, "the plot could not be drawn (python3 with matplotlib?)\n");
}

std::optional<std::u16string> ReadText(const char* path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (char& c : text)
        if (c == '\n' || c == '\r' || c == '\t') c = ' ';
    return Symbols(text);
}

// The errors of one reading, counted as the table counts them: "errors symbols errors+spaces
// symbols+spaces".
int Score(const char* sentPath, const char* readPath) {
    const auto sent = ReadText(sentPath);
    const auto read = ReadText(readPath);
    if (!sent || !read) {
        std::fprintf(stderr, "cannot read %s or %s\n", sentPath, readPath);
        return 2;
    }
    const ErrorTally chars = CharacterErrors(*sent, *read);
    const ErrorTally spaces = CharacterAndSpaceErrors(*sent, *read);
    std::printf("%ld %ld %ld %ld\n", chars.errors, chars.symbols, spaces.errors, spaces.symbols);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Point one;
    bool single = false, full = false, multimon = false, curve = false, delays = false;
    std::string png, wavDir;
    int tableRow = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const auto number = [&] { return i + 1 < argc ? std::atof(argv[++i]) : 0.0; };
        if (a == "--full")
            full = true;
        else if (a == "--curve")
            curve = true;
        else if (a == "--multimon")
            multimon = true;
        else if (a == "--plot" && i + 1 < argc)
            png = argv[++i];
        else if (a == "--wav" && i + 1 < argc)
            wavDir = argv[++i];
        else if (a == "--delays")
            delays = true;
        else if (a == "--score" && i + 2 < argc)
            return Score(argv[i + 1], argv[i + 2]);
        else if (a == "--row")
            tableRow = static_cast<int>(number()), full = true;
        else if (a == "--rows")
            return std::printf("%zu\n", Table(5000).size()) < 0;
        else if (a == "--korean")
            one.korean = single = true;
        else if (a == "--phase-afresh")
            one.phaseAfresh = true, single = true;
        else if (a == "--hand")
            one.style = KeyingStyle::HandKey, single = true;
        else if (a == "--snr")
            one.snrDb500 = number(), single = true;
        else if (a == "--snr2500")
            one.snrDb500 = Snr500Of2500(number()), single = true;
        else if (a == "--doppler")
            one.dopplerHz = number(), single = true;
        else if (a == "--wpm")
            one.wpm = number(), single = true;
        else if (a == "--farnsworth")
            one.effectiveWpm = number(), single = true;
        else if (a == "--pitch")
            one.pitchHz = number(), single = true;
        else if (a == "--chars")
            one.characters = static_cast<size_t>(number());
        else if (a == "--seed")
            one.seed = static_cast<uint64_t>(number());
        else {
            std::fprintf(stderr, "unknown option %s\n", a.c_str());
            return 2;
        }
    }
    std::printf(
        "Band decoder: CER in %% by Levenshtein, blanks dropped (Korean on syllables; jamo: on "
        "the jamo sent); mmon: multimon-ng -a MORSE_CW on the same audio. SNR: key-on, in 500 "
        "and 2500 Hz. RTF: CPU time of one core over audio time.\n\n");
    PrintHeader();
    std::vector<Point> points;
    if (single) {
        points.push_back(one);
    } else if (curve) {
        // The curve of the plot: English and Korean, paddle, white noise, `--chars` a point.
        for (bool korean : {false, true})
            for (double snr : {-6.0, -3.0, -1.0, 0.0, 2.0, 6.0})
                points.push_back({.korean = korean,
                                  .snrDb500 = snr,
                                  .characters = one.characters,
                                  .seed = points.size() + 1});
    } else {
        points = Table(full ? 5000 : 400);
        if (!full) points.resize(4);
        if (tableRow > 0 && size_t(tableRow) <= points.size())
            points = {points[size_t(tableRow) - 1]};
    }
    std::vector<std::pair<Point, Result>> rows;
    for (const Point& p : points) {
        rows.emplace_back(p, Run(p, multimon, wavDir, delays));
        PrintRow(p, rows.back().second);
        if (delays) PrintDelays(rows.back().second.delaysMs);
    }
    if (!png.empty()) Plot(rows, png);
    return 0;
}
