// Peak memory of cw-tamarik-render against the length of what it renders: texts that make
// WAV files of about 100 MB and 1 GB (and, with --cap, one that reaches the 2 GiB limit of a
// recording) are rendered by a child process, and its peak resident size is read from
// wait4(). A renderer that writes each buffer to the file as it is made keeps the same peak
// for every length; one that keeps the output in memory grows with it.
//
//   sound_render_memory_bench [--cap] [RENDERER ...]
//
// Without a renderer it measures the one built beside it; given several (an older build, say),
// it measures each, so the figures can be compared line by line.

#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

// At the default x5 and tone width 4, "PARIS " lasts 50 units of 750 samples; with the BT of
// every tenth word's line end, a word makes about 56,400 bytes of WAV.
constexpr double kBytesPerWord = 56400.0;
constexpr int kWordsPerLine = 10;

struct Outcome {
    bool ok = false;
    long long wavBytes = 0;
    long peakRssKiB = 0;
    double seconds = 0;
};

void WriteText(const fs::path& path, long long words) {
    std::ofstream out(path, std::ios::binary);
    for (long long i = 0; i < words; ++i)
        out << ((i + 1) % kWordsPerLine == 0 ? "PARIS\n" : "PARIS ");
}

Outcome Render(const std::string& renderer, const fs::path& text, const fs::path& wav) {
    fs::remove(wav);
    std::vector<std::string> args = {renderer, text.string(), "-o", wav.string()};
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    Outcome outcome;
    if (posix_spawn(&pid, renderer.c_str(), nullptr, nullptr, argv.data(), environ) != 0)
        return outcome;
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid) return outcome;
    outcome.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    outcome.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    outcome.peakRssKiB = usage.ru_maxrss;  // KiB on Linux
    std::error_code error;
    outcome.wavBytes = static_cast<long long>(fs::file_size(wav, error));
    if (error) outcome.wavBytes = 0;
    return outcome;
}

std::string BuiltRenderer() {
    const fs::path self = fs::read_symlink("/proc/self/exe");
    return (self.parent_path().parent_path() / "src/tools/render/cw-tamarik-render").string();
}

}  // namespace

int main(int argc, char** argv) {
    bool cap = false;
    std::vector<std::string> renderers;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--cap")
            cap = true;
        else
            renderers.push_back(arg);
    }
    if (renderers.empty()) renderers.push_back(BuiltRenderer());

    std::vector<double> targetMB = {100, 1000};
    if (cap) targetMB.push_back(2140);  // just below the 2 GiB cap of a recording
    const fs::path dir =
        fs::temp_directory_path() / ("cwt-render-memory-" + std::to_string(getpid()));
    fs::create_directories(dir);

    std::printf("%-44s %10s %12s %10s %9s %8s\n", "renderer", "text KiB", "WAV MB", "peak MiB",
                "peak/WAV", "seconds");
    for (const std::string& renderer : renderers) {
        for (double mb : targetMB) {
            const auto words = static_cast<long long>(mb * 1e6 / kBytesPerWord);
            const fs::path text = dir / "text.txt";
            WriteText(text, words);
            const Outcome run = Render(renderer, text, dir / "out.wav");
            const double wavMB = static_cast<double>(run.wavBytes) / 1e6;
            const double peakMiB = static_cast<double>(run.peakRssKiB) / 1024.0;
            std::printf("%-44s %10.0f %12.1f %10.1f %9.3f %8.1f%s\n",
                        fs::path(renderer).filename().string().c_str(),
                        static_cast<double>(fs::file_size(text)) / 1024.0, wavMB, peakMiB,
                        wavMB > 0 ? peakMiB * 1.048576 / wavMB : 0.0, run.seconds,
                        run.ok ? "" : "  (failed)");
            std::fflush(stdout);
            fs::remove(dir / "out.wav");
        }
    }
    fs::remove_all(dir);
    return 0;
}
