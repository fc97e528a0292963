#pragma once
// A small RIFF file writer with the steps of the platform's buffered multimedia file interface
// (create chunk, write, ascend, seek, descend, close), so a recording can follow them one by
// one. Every step returns 0 or an MMIOERR code (MmErrors.h); the OS reason of the last failure
// is kept for the operator.

#include <cstdint>
#include <string>

namespace cwt {

constexpr uint32_t FourCC(const char (&id)[5]) {
    return static_cast<uint32_t>(static_cast<uint8_t>(id[0])) |
           static_cast<uint32_t>(static_cast<uint8_t>(id[1])) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(id[2])) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(id[3])) << 24;
}

// A chunk record: identifier, size, form type, offset of its data, flags.
struct ChunkInfo {
    uint32_t id = 0;
    uint32_t size = 0;
    uint32_t formType = 0;
    uint32_t dataOffset = 0;
    uint32_t flags = 0;
};

class RiffFile {
public:
    static constexpr unsigned kCreateRiff = 0x20;  // createChunk: a RIFF chunk with a form type
    static constexpr unsigned kFindRiff = 0x20;    // descend: the RIFF chunk of a form type
    static constexpr unsigned kFindChunk = 0x10;   // descend: a chunk of an identifier

    RiffFile() = default;
    RiffFile(const RiffFile&) = delete;
    RiffFile& operator=(const RiffFile&) = delete;
    ~RiffFile();

    // Creates (or empties) the file for reading and writing.
    int open(const std::string& path);
    bool isOpen() const { return m_fd >= 0; }

    // Writes the chunk's header at the current position; its size is fixed by ascend().
    int createChunk(ChunkInfo& chunk, unsigned flags);
    // Writes `count` bytes at the current position; returns how many were written (a short
    // count or -1 when the disk is full or the file cannot be written).
    long write(const void* data, long count);
    // Leaves the chunk: writes its size when it was created here, and a zero pad byte after an
    // odd size; the position moves past the chunk.
    int ascend(ChunkInfo& chunk);
    // Moves to `offset` from the start; returns the new position or -1.
    long seek(long offset);
    // Enters a chunk from the current position: the RIFF chunk of `chunk.formType`
    // (kFindRiff) or the chunk `chunk.id` (kFindChunk), within `parent` when given.
    int descend(ChunkInfo& chunk, const ChunkInfo* parent, unsigned flags);
    int close();

    long position() const { return m_pos; }
    // Whether `path` still names this open file (it may have been renamed or deleted).
    bool isAt(const std::string& path) const;
    // Writes a copy of the whole file to a new file `path` (never over an existing one);
    // returns 0 or errno.
    int copyTo(const std::string& path) const;
    // errno of the last failed step, 0 when none.
    int lastErrno() const { return m_errno; }

private:
    bool writeAt(long offset, const void* data, long count);
    bool readAt(long offset, void* data, long count);

    int m_fd = -1;
    long m_pos = 0;
    int m_errno = 0;
};

}  // namespace cwt
