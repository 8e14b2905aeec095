#pragma once

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QString>
#include <QStringList>

namespace mivo::cli {

struct Invocation;

// The options of a test station: run's --results, --serial, --operator and
// --snapshot, and those of the results command that finds runs again.
class ResultsOptions {
public:
    ResultsOptions();
    void add_to(QCommandLineParser& parser) const;
    // The options that take a value, as they are spelled.
    QStringList with_values() const;
    // Into inv, once the command and its stations are known: empty, or the
    // usage error.
    QString read(const QCommandLineParser& parser, Invocation& inv) const;

private:
    QString read_run(const QCommandLineParser& parser, Invocation& inv) const;
    QString read_results(const QCommandLineParser& parser, Invocation& inv) const;

    QCommandLineOption results_, serial_, operator_, snapshot_;
    QCommandLineOption failed_, recipe_, since_, until_, limit_, csv_, id_, pdf_;
};

}  // namespace mivo::cli
