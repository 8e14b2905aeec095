#include "console/port_control.h"

#include "console/console_context.h"
#include "console/console_view.h"
#include "link/port_name.h"
#include "link/serial_port.h"

#include <QCoreApplication>
#include <QTimer>

#include <cstdio>

namespace mivo {

void PortControl::open()
{
    if (c_.vars.is_linked == kTrue) {
        c_.tell(QStringLiteral("Linked"));
        return;
    }
    const QString port_name = system_port_name(c_.view().comm_text());
    if (!c_.MSComm1.open(port_name, QLatin1String(kLineSettings))) {
        std::fprintf(stderr, "%s: cannot open %s: %s\n", qPrintable(QCoreApplication::applicationName()),
                     qPrintable(port_name), qPrintable(c_.MSComm1.errorText()));
        c_.tell(QStringLiteral("MIVO CommPort Fail"));
        c_.tell(QStringLiteral("CommPort Close"));
        return;
    }
    ++c_.link_session;
    c_.vars.is_linked = kTrue;
    c_.view().show_link_light(true);
    c_.state.set_link_open(true);
    c_.report([](Availability& a) { a.link_opened(); });
    c_.tell(QStringLiteral("Port Open"));
}

void PortControl::close()
{
    if (c_.vars.is_linked != kTrue) {
        c_.tell(QStringLiteral("Port Close"));
        return;
    }
    c_.Timer1.stop();
    close_timer1();
    c_.MSComm1.close();
    c_.vars.is_linked = kFalse;
    c_.view().show_link_light(false);
    c_.state.set_link_open(false);
    c_.tell(QStringLiteral("Port Close"));
    c_.report([](Availability& a) { a.link_closed(); });
}

void PortControl::close_timer1()
{
    c_.Timer1.stop();
    while (c_.Timer1.isActive())
        c_.Timer1.stop();
}

void PortControl::link_lost(const QString& reason)
{
    if (c_.vars.is_linked != kTrue)
        return;
    std::fprintf(stderr, "%s: serial port lost: %s\n", qPrintable(QCoreApplication::applicationName()),
                 qPrintable(reason));
    c_.Timer1.stop();
    c_.vars.is_linked = kFalse;
    c_.view().show_link_light(false);
    c_.state.set_link_open(false);
    c_.report([](Availability& a) { a.link_closed(); });
    // The loss may be noticed in the middle of an exchange that must not
    // process events; the message waits for the event loop.
    // The system's reason is often a stale error of some earlier call, so
    // the user is told what happened in words right for every loss; the
    // reason went to stderr above. The timer is the core's own object: the
    // message does not outlive the console.
    QTimer::singleShot(0, &c_.Timer1, [this] {
        c_.tell(QStringLiteral("CommPort lost: the device hung up or was removed."));
    });
}

}  // namespace mivo
