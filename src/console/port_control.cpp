#include "console/port_control.h"

#include "console/console_context.h"
#include "console/console_view.h"
#include "link/port_name.h"
#include "link/serial_port.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QTimer>

#include <cstdio>

namespace mivo {

void PortControl::open(const QString& comm_text)
{
    if (on_user_action_)
        on_user_action_();
    if (c_.vars.is_linked) {
        c_.tell(QStringLiteral("Linked"));
        return;
    }
    open_named(system_port_name(comm_text), false);
}

bool PortControl::open_named(const QString& port_name, bool quiet)
{
    if (c_.vars.is_linked || c_.availability.opening())
        return false;
    // A network port processes events while it resolves and connects.
    c_.report([](Availability& a) { a.opening_started(); });
    const bool opened = c_.MSComm1.open(port_name, QLatin1String(kLineSettings));
    c_.report([](Availability& a) { a.opening_ended(); });
    if (!opened) {
        std::fprintf(stderr, "%s: cannot open %s: %s\n", qPrintable(QCoreApplication::applicationName()),
                     qPrintable(port_name), qPrintable(c_.MSComm1.errorText()));
        if (!quiet) {
            c_.tell(QStringLiteral("MIVO CommPort Fail"));
            c_.tell(QStringLiteral("CommPort Close"));
        }
        return false;
    }
    opened_name_ = port_name;
    lasting_name_ = lasting_name_of(port_name);
    ++c_.link_session;
    c_.vars.is_linked = true;
    c_.state.set_link_open(true);
    c_.report([](Availability& a) { a.link_opened(); });
    if (!quiet)
        c_.tell(QStringLiteral("Port Open"));
    return true;
}

QString PortControl::lasting_name_of(const QString& port_name)
{
    if (names_network_line(port_name))
        return port_name;
    const QString device = QFileInfo(port_name).canonicalFilePath();
    QDirIterator by_id(QStringLiteral("/dev/serial/by-id"), QDir::System | QDir::Files | QDir::NoDotAndDotDot);
    while (!device.isEmpty() && by_id.hasNext()) {
        const QString link = by_id.next();
        if (QFileInfo(link).canonicalFilePath() == device)
            return link;
    }
    return port_name;
}

void PortControl::close()
{
    if (on_user_action_)
        on_user_action_();
    if (!c_.vars.is_linked) {
        c_.tell(QStringLiteral("Port Close"));
        return;
    }
    close_timer1();
    c_.MSComm1.close();
    c_.vars.is_linked = false;
    c_.state.set_link_open(false);
    c_.tell(QStringLiteral("Port Close"));
    c_.report([](Availability& a) { a.link_closed(); });
}

void PortControl::close_timer1()
{
    c_.poll.stop();
}

void PortControl::link_lost(const QString& reason, bool reconnecting)
{
    if (!c_.vars.is_linked)
        return;
    std::fprintf(stderr, "%s: serial port lost: %s\n", qPrintable(QCoreApplication::applicationName()),
                 qPrintable(reason));
    c_.poll.stop();
    c_.vars.is_linked = false;
    c_.state.set_link_open(false);
    c_.report([](Availability& a) { a.link_closed(); });
    if (reconnecting && loss_is_old_news_ && loss_is_old_news_())
        return;
    // The loss may be noticed in the middle of an exchange that must not
    // process events; the message waits for the event loop.
    // The system's reason is often a stale error of some earlier call, so
    // the user is told what happened in words right for every loss; the
    // reason went to stderr above. The poll's gate is the core's own object:
    // the message does not outlive the console.
    QTimer::singleShot(0, &c_.poll, [this, reconnecting] {
        c_.tell(reconnecting ? QStringLiteral("CommPort lost: the device hung up or was removed. "
                                              "The console opens it again when it is back.")
                             : QStringLiteral("CommPort lost: the device hung up or was removed."));
    });
}

}  // namespace mivo
