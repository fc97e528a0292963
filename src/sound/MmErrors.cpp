#include "sound/MmErrors.h"

#include <array>
#include <string_view>

namespace cwt {

namespace {

constexpr std::array<std::string_view, 12> kSysNames = {
    "MMSYSERR_ERROR",       "MMSYSERR_BADDEVICEID", "MMSYSERR_NOTENABLED", "MMSYSERR_ALLOCATED",
    "MMSYSERR_INVALHANDLE", "MMSYSERR_NODRIVER",    "MMSYSERR_NOMEM",      "MMSYSERR_NOTSUPPORTED",
    "MMSYSERR_BADERRNUM",   "MMSYSERR_INVALFLAG",   "MMSYSERR_INVALPARAM", "MMSYSERR_HANDLEBUSY"};

constexpr std::array<std::string_view, 4> kWaveNames = {"WAVERR_BADFORMAT", "WAVERR_STILLPLAYING",
                                                        "WAVERR_UNPREPARED", "WAVERR_SYNC"};

constexpr std::array<std::string_view, 16> kMmioNames = {
    "MMIOERR_FILENOTFOUND",     "MMIOERR_OUTOFMEMORY",  "MMIOERR_CANNOTOPEN",
    "MMIOERR_CANNOTCLOSE",      "MMIOERR_CANNOTREAD",   "MMIOERR_CANNOTWRITE",
    "MMIOERR_CANNOTSEEK",       "MMIOERR_CANNOTEXPAND", "MMIOERR_CHUNKNOTFOUND",
    "MMIOERR_UNBUFFERED",       "MMIOERR_PATHNOTFOUND", "MMIOERR_ACCESSDENIED",
    "MMIOERR_SHARINGVIOLATION", "MMIOERR_NETWORKERROR", "MMIOERR_TOOMANYOPENFILES",
    "MMIOERR_INVALIDFILE"};

}  // namespace

std::string MmErrorName(int code) {
    if (code >= 1 && code <= 12) return std::string(kSysNames[static_cast<size_t>(code - 1)]);
    if (code >= 32 && code <= 35) return std::string(kWaveNames[static_cast<size_t>(code - 32)]);
    if (code >= 257 && code <= 272) return std::string(kMmioNames[static_cast<size_t>(code - 257)]);
    return "Unknown Error : " + std::to_string(code);
}

std::string MmFailureText(const char* operation, int code) {
    return std::string(operation) + " failed : " + MmErrorName(code);
}

}  // namespace cwt
