// The cost of one terminal exchange's append to the transcript as the
// transcript grows: it should stay flat.
#include "window/transcript_box.h"

#include <QApplication>
#include <QElapsedTimer>

#include <cstdio>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    mivo::TranscriptBox box;
    box.resize(584, 170);
    box.show();
    constexpr int kExchanges = 10000, kBatch = 1000;
    std::printf("exchanges  transcript chars  microseconds per append\n");
    for (int done = 0; done < kExchanges; done += kBatch) {
        QElapsedTimer t;
        t.start();
        for (int i = 0; i < kBatch; ++i) {
            box.append(QStringLiteral("RD 0 %1\r\nP%1=1200\r>").arg((done + i) % 16));
            QCoreApplication::processEvents();  // the window repaints between exchanges
        }
        std::printf("%9d  %16lld  %10.1f\n", done + kBatch, static_cast<long long>(box.text().size()),
                    t.nsecsElapsed() / 1e3 / kBatch);
    }
    return 0;
}
