#include "sound/RiffFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "sound/MmErrors.h"

namespace cwt {

namespace {

constexpr uint32_t kDirty = 0x10000000;  // the chunk was created here; ascend writes its size
constexpr uint32_t kRiffId = FourCC("RIFF");
constexpr uint32_t kListId = FourCC("LIST");

void PutLe32(uint8_t* out, uint32_t value) {
    for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(value >> (8 * i));
}

uint32_t GetLe32(const uint8_t* in) {
    return static_cast<uint32_t>(in[0]) | static_cast<uint32_t>(in[1]) << 8 |
           static_cast<uint32_t>(in[2]) << 16 | static_cast<uint32_t>(in[3]) << 24;
}

}  // namespace

RiffFile::~RiffFile() { close(); }

int RiffFile::open(const std::string& path) {
    close();
    m_errno = 0;
    m_fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (m_fd < 0) {
        m_errno = errno;
        if (m_errno == ENOENT || m_errno == ENOTDIR) return 267;  // MMIOERR_PATHNOTFOUND
        if (m_errno == EACCES || m_errno == EPERM || m_errno == EROFS) return 268;  // ACCESSDENIED
        return kMmioErrCannotOpen;
    }
    m_pos = 0;
    return kMmNoError;
}

bool RiffFile::writeAt(long offset, const void* data, long count) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    long done = 0;
    while (done < count) {
        const ssize_t n =
            ::pwrite(m_fd, bytes + done, static_cast<size_t>(count - done), offset + done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            m_errno = n < 0 ? errno : ENOSPC;
            return false;
        }
        done += n;
    }
    return true;
}

bool RiffFile::readAt(long offset, void* data, long count) {
    auto* bytes = static_cast<uint8_t*>(data);
    long done = 0;
    while (done < count) {
        const ssize_t n =
            ::pread(m_fd, bytes + done, static_cast<size_t>(count - done), offset + done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            m_errno = n < 0 ? errno : 0;
            return false;
        }
        done += n;
    }
    return true;
}

int RiffFile::createChunk(ChunkInfo& chunk, unsigned flags) {
    if (m_fd < 0) return kMmSysErrInvalHandle;
    const bool withForm = (flags & kCreateRiff) != 0;
    if (withForm) chunk.id = kRiffId;
    uint8_t head[12];
    PutLe32(head, chunk.id);
    PutLe32(head + 4, chunk.size);
    PutLe32(head + 8, chunk.formType);
    const long length = withForm || chunk.id == kListId ? 12 : 8;
    if (!writeAt(m_pos, head, length)) return kMmioErrCannotWrite;
    // The data of a RIFF chunk starts with its form type.
    chunk.dataOffset = static_cast<uint32_t>(m_pos + 8);
    chunk.flags = kDirty;
    m_pos += length;
    return kMmNoError;
}

long RiffFile::write(const void* data, long count) {
    if (m_fd < 0 || count < 0) return -1;
    const auto* bytes = static_cast<const uint8_t*>(data);
    long done = 0;
    while (done < count) {
        const ssize_t n =
            ::pwrite(m_fd, bytes + done, static_cast<size_t>(count - done), m_pos + done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            m_errno = n < 0 ? errno : ENOSPC;
            break;
        }
        done += n;
    }
    m_pos += done;
    return done == 0 && count > 0 ? -1 : done;
}

int RiffFile::ascend(ChunkInfo& chunk) {
    if (m_fd < 0) return kMmSysErrInvalHandle;
    if (chunk.flags & kDirty) {
        const long size = m_pos - static_cast<long>(chunk.dataOffset);
        if (size < 0) return kMmioErrCannotSeek;
        chunk.size = static_cast<uint32_t>(size);
        uint8_t field[4];
        PutLe32(field, chunk.size);
        if (!writeAt(static_cast<long>(chunk.dataOffset) - 4, field, 4)) return kMmioErrCannotWrite;
        chunk.flags &= ~kDirty;
        if (chunk.size & 1) {
            // The pad byte; when it cannot be written the file ends without it, and the sizes
            // written later still describe the file as it is.
            const uint8_t zero = 0;
            if (!writeAt(m_pos, &zero, 1)) return kMmioErrCannotWrite;
            ++m_pos;
        }
        return kMmNoError;
    }
    m_pos = static_cast<long>(chunk.dataOffset) + chunk.size + (chunk.size & 1);
    return kMmNoError;
}

long RiffFile::seek(long offset) {
    if (m_fd < 0 || offset < 0) return -1;
    m_pos = offset;
    return m_pos;
}

int RiffFile::descend(ChunkInfo& chunk, const ChunkInfo* parent, unsigned flags) {
    if (m_fd < 0) return kMmSysErrInvalHandle;
    const long end = parent ? static_cast<long>(parent->dataOffset) + parent->size : -1;
    long pos = m_pos;
    for (;;) {
        if (end >= 0 && pos + 8 > end) return kMmioErrChunkNotFound;
        uint8_t head[12];
        if (!readAt(pos, head, 8)) return kMmioErrChunkNotFound;
        const uint32_t id = GetLe32(head);
        const uint32_t size = GetLe32(head + 4);
        const bool hasForm = id == kRiffId || id == kListId;
        uint32_t form = 0;
        if (hasForm && !readAt(pos + 8, head + 8, 4)) return kMmioErrChunkNotFound;
        if (hasForm) form = GetLe32(head + 8);
        const bool match = (flags & kFindRiff)    ? id == kRiffId && form == chunk.formType
                           : (flags & kFindChunk) ? id == chunk.id
                                                  : true;
        if (match) {
            chunk.id = id;
            chunk.size = size;
            chunk.formType = form;
            chunk.dataOffset = static_cast<uint32_t>(pos + 8);
            chunk.flags = 0;
            m_pos = pos + (hasForm ? 12 : 8);
            return kMmNoError;
        }
        pos += 8 + static_cast<long>(size) + (size & 1);
    }
}

bool RiffFile::isAt(const std::string& path) const {
    struct stat open {};
    struct stat named {};
    return m_fd >= 0 && ::fstat(m_fd, &open) == 0 && ::stat(path.c_str(), &named) == 0 &&
           open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

int RiffFile::copyTo(const std::string& path) const {
    if (m_fd < 0) return EBADF;
    const int out = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (out < 0) return errno;
    uint8_t block[65536];
    int error = 0;
    for (off_t offset = 0;;) {
        const ssize_t n = ::pread(m_fd, block, sizeof block, offset);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error = n < 0 ? errno : 0;
            break;
        }
        for (ssize_t done = 0; done < n && error == 0;) {
            const ssize_t w = ::write(out, block + done, static_cast<size_t>(n - done));
            if (w < 0 && errno == EINTR) continue;
            if (w <= 0) error = w < 0 ? errno : ENOSPC;
            done += std::max<ssize_t>(w, 0);
        }
        if (error != 0) break;
        offset += n;
    }
    if (::close(out) != 0 && error == 0) error = errno;
    if (error != 0) ::unlink(path.c_str());
    return error;
}

int RiffFile::close() {
    if (m_fd < 0) return kMmNoError;
    const int rc = ::close(m_fd);
    m_fd = -1;
    if (rc != 0) {
        m_errno = errno;
        return kMmioErrCannotClose;
    }
    return kMmNoError;
}

}  // namespace cwt
