#pragma once
// Result codes of the multimedia steps of a recording, their symbolic names, and the error
// type a failed step is turned into.

#include <stdexcept>
#include <string>

namespace cwt {

inline constexpr int kMmNoError = 0;
inline constexpr int kMmSysErrError = 1;           // MMSYSERR_ERROR
inline constexpr int kMmSysErrBadDeviceId = 2;     // MMSYSERR_BADDEVICEID
inline constexpr int kMmSysErrAllocated = 4;       // MMSYSERR_ALLOCATED
inline constexpr int kMmSysErrInvalHandle = 5;     // MMSYSERR_INVALHANDLE
inline constexpr int kMmSysErrNoDriver = 6;        // MMSYSERR_NODRIVER
inline constexpr int kMmSysErrNoMem = 7;           // MMSYSERR_NOMEM
inline constexpr int kWavErrBadFormat = 32;        // WAVERR_BADFORMAT
inline constexpr int kMmioErrCannotOpen = 259;     // MMIOERR_CANNOTOPEN
inline constexpr int kMmioErrCannotClose = 260;    // MMIOERR_CANNOTCLOSE
inline constexpr int kMmioErrCannotRead = 261;     // MMIOERR_CANNOTREAD
inline constexpr int kMmioErrCannotWrite = 262;    // MMIOERR_CANNOTWRITE
inline constexpr int kMmioErrCannotSeek = 263;     // MMIOERR_CANNOTSEEK
inline constexpr int kMmioErrChunkNotFound = 265;  // MMIOERR_CHUNKNOTFOUND
inline constexpr int kMmioErrInvalidFile = 272;    // MMIOERR_INVALIDFILE

// "MMSYSERR_BADDEVICEID" for 2, "MMIOERR_CANNOTWRITE" for 262, ...; codes outside the three
// families read "Unknown Error : " and the code in decimal.
std::string MmErrorName(int code);

// "<operation> failed : <name of code>".
std::string MmFailureText(const char* operation, int code);

// A failed multimedia step of a recording.
class EGSMException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace cwt
