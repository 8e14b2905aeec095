#pragma once

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QString>
#include <QStringList>

namespace mivo::cli {

struct Invocation;

// The options of bridge: the broker, its login, the topics' prefix, the
// pace of the state messages and the operations commands may run.
class BridgeOptionsCli {
public:
    BridgeOptionsCli();
    void add_to(QCommandLineParser& parser) const;
    // The options that take a value, as they are spelled.
    QStringList with_values() const;
    // Into inv.bridge once the command is known: empty, or the usage error.
    // The password file and the CA file are read here, before the port opens.
    QString read(const QCommandLineParser& parser, Invocation& inv) const;

private:
    QCommandLineOption mqtt_, ca_file_, username_, password_file_, prefix_, interval_, allow_;
};

}  // namespace mivo::cli
