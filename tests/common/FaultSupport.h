#pragma once
// What the fault tests need from the machine: a small file system that fills up, a file size
// limit where no file system can be mounted, and running a step as an ordinary user, since
// permissions mean nothing to root.

#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include "tests/common/FileSizeLimit.h"

// A tmpfs of `kilobytes` mounted on a folder of its own (needs root), read-only if asked;
// unmounted at the end.
class SmallDisk {
public:
    explicit SmallDisk(int kilobytes, bool readOnly = false) {
        m_path = m_parent.filePath(QStringLiteral("disk"));
        QDir().mkpath(m_path);
        const QByteArray options = "size=" + QByteArray::number(kilobytes) + "k";
        m_mounted = ::mount("tmpfs", QFile::encodeName(m_path).constData(), "tmpfs",
                            readOnly ? MS_RDONLY : 0, options.constData()) == 0;
    }
    ~SmallDisk() {
        if (m_mounted) ::umount2(QFile::encodeName(m_path).constData(), MNT_DETACH);
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    bool mounted() const { return m_mounted; }
    QString path() const { return m_path; }
    QString filePath(const QString& name) const { return m_path + u'/' + name; }

    // Fills the disk with a file of its own until only about `leaveBytes` are free.
    void fillLeaving(qint64 leaveBytes) {
        QFile filler(filePath(QStringLiteral("filler")));
        if (!filler.open(QIODevice::WriteOnly)) return;
        const QByteArray block(1024, 'x');
        while (freeBytes() > leaveBytes + block.size() && filler.write(block) == block.size())
            filler.flush();
    }
    qint64 freeBytes() const {
        struct statvfs info {};
        if (::statvfs(QFile::encodeName(m_path).constData(), &info) != 0) return 0;
        return static_cast<qint64>(info.f_bavail) * static_cast<qint64>(info.f_frsize);
    }

private:
    QTemporaryDir m_parent;
    QString m_path;
    bool m_mounted = false;
};

// Runs the steps of its scope with the rights of the user "nobody" when the test runs as root,
// so that a missing permission is a missing permission. The real user stays root, so the
// rights come back at the end of the scope.
class AsOrdinaryUser {
public:
    static constexpr uid_t kNobody = 65534;
    AsOrdinaryUser() : m_switched(::geteuid() == 0 && ::seteuid(kNobody) == 0) {}
    ~AsOrdinaryUser() {
        if (m_switched) [[maybe_unused]]
            const int restored = ::seteuid(0);
    }
    AsOrdinaryUser(const AsOrdinaryUser&) = delete;
    AsOrdinaryUser& operator=(const AsOrdinaryUser&) = delete;

private:
    bool m_switched;
};

// A WAV file as Python's wave module reads it: frames and their bytes, or the error it raises.
struct WaveRead {
    bool ok = false;
    int frames = 0;
    QByteArray data;
    QString error;
};

inline WaveRead ReadWithPythonWave(const QString& path) {
    QProcess python;
    python.start(QStringLiteral("python3"),
                 {QStringLiteral("-c"),
                  QStringLiteral("import sys, wave\n"
                                 "w = wave.open(sys.argv[1], 'rb')\n"
                                 "sys.stdout.buffer.write(w.readframes(w.getnframes()))\n"
                                 "sys.stderr.write(str(w.getnframes()))\n"),
                  path});
    WaveRead read;
    if (!python.waitForFinished(20000)) return read;
    read.data = python.readAllStandardOutput();
    const QString err = QString::fromUtf8(python.readAllStandardError()).trimmed();
    read.ok = python.exitCode() == 0;
    if (read.ok)
        read.frames = err.toInt();
    else
        read.error = err;
    return read;
}
