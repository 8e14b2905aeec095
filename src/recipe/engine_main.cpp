// mivo-recipe-engine: runs one test recipe's JavaScript for the console,
// which starts it and talks to it over its standard input and output. It
// holds no line: whatever becomes of it, the console's process switches the
// motor off and writes the report.

#include "recipe/engine_host.h"

#include <QCoreApplication>
#include <QFile>
#include <QJSEngine>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>

#include <csignal>
#include <cstdio>
#include <unistd.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif

namespace {

// The engine's thread has a stack of its own size, whatever the shell's
// limit: a recursion too deep for it ends this process, never the console.
constexpr uint kStackBytes = 8 * 1024 * 1024;

}  // namespace

int main(int argc, char** argv)
{
    // Ctrl-C reaches the whole process group: the console's process decides
    // what it ends. And the engine does not outlive that process.
    for (const int s : {SIGINT, SIGTERM, SIGHUP})
        std::signal(s, SIG_IGN);
#ifdef __linux__
    prctl(PR_SET_PDEATHSIG, SIGKILL);
#endif
    QCoreApplication app(argc, argv);
    // The pipe to the console gets private descriptors; what the recipe or
    // Qt prints goes to standard error and cannot be taken for a message.
    const int wire_in = dup(STDIN_FILENO);
    const int wire_out = dup(STDOUT_FILENO);
    if (wire_in < 0 || wire_out < 0 || dup2(STDERR_FILENO, STDOUT_FILENO) < 0)
        return 1;
    std::FILE* in = fdopen(wire_in, "r");
    std::FILE* out = fdopen(wire_out, "w");
    if (!in || !out)
        return 1;

    // The first line says what to run.
    char* line = nullptr;
    size_t capacity = 0;
    const ssize_t length = getline(&line, &capacity, in);
    if (length <= 0)
        return 1;
    const QJsonObject start = QJsonDocument::fromJson(QByteArray(line, length)).object();
    free(line);

    QThread* engine_thread = QThread::create([&] {
        QJSEngine engine;
        engine.installExtensions(QJSEngine::ConsoleExtension);
        mivo::recipe::EngineHost host(engine, in, out);
        host.run(start.value(QStringLiteral("program")).toString(), start.value(QStringLiteral("path")).toString(),
                 start.value(QStringLiteral("station")).toInt());
    });
    engine_thread->setStackSize(kStackBytes);
    engine_thread->start();
    engine_thread->wait();
    delete engine_thread;
    // The engine's heap is not worth tidying: the process ends here.
    std::fflush(out);
    _exit(0);
}
