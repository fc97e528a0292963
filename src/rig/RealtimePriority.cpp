#include "rig/RealtimePriority.h"

#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusReply>
#include <QVariant>
#include <algorithm>

namespace cwt {

namespace {

bool SchedFifo(int priority) {
    sched_param param{};
    param.sched_priority = priority;
    // Children (a spawned helper) do not inherit real-time scheduling.
    return sched_setscheduler(0, SCHED_FIFO | SCHED_RESET_ON_FORK, &param) == 0;
}

QVariant RtKitProperty(const QString& name) {
    QDBusInterface properties(QStringLiteral("org.freedesktop.RealtimeKit1"),
                              QStringLiteral("/org/freedesktop/RealtimeKit1"),
                              QStringLiteral("org.freedesktop.DBus.Properties"),
                              QDBusConnection::systemBus());
    properties.setTimeout(1000);
    const QDBusReply<QVariant> reply = properties.call(
        QStringLiteral("Get"), QStringLiteral("org.freedesktop.RealtimeKit1"), name);
    return reply.isValid() ? reply.value() : QVariant();
}

bool RtKit(int priority) {
    // The bus needs the application object; a program without one keeps ordinary scheduling.
    if (!QCoreApplication::instance() || !QDBusConnection::systemBus().isConnected()) return false;
    const QVariant maxPriority = RtKitProperty(QStringLiteral("MaxRealtimePriority"));
    const QVariant maxRtTime = RtKitProperty(QStringLiteral("RTTimeUSecMax"));
    if (!maxPriority.isValid() || !maxRtTime.isValid()) return false;
    // RTKit grants real-time only to a process that limits its real-time CPU time, so that a
    // runaway thread is stopped instead of freezing the desktop.
    rlimit limit{};
    limit.rlim_cur = limit.rlim_max = static_cast<rlim_t>(maxRtTime.toLongLong());
    if (setrlimit(RLIMIT_RTTIME, &limit) != 0) return false;
    QDBusInterface rtkit(QStringLiteral("org.freedesktop.RealtimeKit1"),
                         QStringLiteral("/org/freedesktop/RealtimeKit1"),
                         QStringLiteral("org.freedesktop.RealtimeKit1"),
                         QDBusConnection::systemBus());
    rtkit.setTimeout(1000);
    const QDBusReply<void> reply =
        rtkit.call(QStringLiteral("MakeThreadRealtime"), static_cast<qulonglong>(gettid()),
                   static_cast<uint>(std::min(priority, maxPriority.toInt())));
    return reply.isValid();
}

}  // namespace

RealtimeWay MakeThisThreadRealtime(int priority) {
    if (SchedFifo(priority)) return RealtimeWay::SchedFifo;
    if (RtKit(priority)) return RealtimeWay::RtKit;
    return RealtimeWay::Ordinary;
}

QString RealtimeWayText(RealtimeWay way) {
    switch (way) {
        case RealtimeWay::SchedFifo:
            return QStringLiteral("실시간 (SCHED_FIFO)");
        case RealtimeWay::RtKit:
            return QStringLiteral("실시간 (RTKit)");
        case RealtimeWay::Ordinary:
            break;
    }
    return QStringLiteral("보통 우선순위");
}

}  // namespace cwt
