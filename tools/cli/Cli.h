#pragma once
// Commands of ganterly-cli register themselves by name; main parses the
// words after the command name against the command's options and dispatches.
//
// Conventions: options may come before, between or after the file names;
// "--opt=value" is the same as "--opt value"; "--" ends the options; "-h" and
// "--help" print the command's usage and exit 0. A usage error exits 2 with
// one line on stderr; a failure of the work exits 1.

#include <QString>
#include <QStringList>
#include <functional>
#include <utility>
#include <vector>

enum { CliOk = 0, CliFailed = 1, CliUsage = 2 };

struct TCliOption {
    enum Kind { Flag, Value, List };
    QString Name;                      // without the leading "--"
    Kind Type = Value;
    // List only: whether a following word is one more value of the option.
    std::function<bool(const QString&)> More;
};

// The words of one command line, taken apart.
struct TCliArgs {
    QStringList Files;                               // the words that are no options, in order
    std::vector<std::pair<QString, QString>> Options;  // name without "--", value ("" for flags), in order
    bool Help = false;

    bool Has(const QString& name) const;
};

// Splits args by the options given; on a usage error answers false with the
// reason in error (one line).
bool ParseCliArgs(const QStringList& args, const std::vector<TCliOption>& options, TCliArgs& out, QString& error);

struct CliCommand {
    // Answers the exit code.
    using Run = std::function<int(const TCliArgs& args)>;
    CliCommand(const char* name, const char* usage, std::vector<TCliOption> options, Run run);
};

// Starts the application the work needs (fonts, image formats, the event
// loop); commands call it once their words are found sound.
void CliStartApp();

// Writes a line to stderr / stdout.
void CliErr(const QString& text);
void CliOut(const QString& text);
// A usage error of the command: one line on stderr naming it; answers CliUsage.
int CliUsageError(const QString& command, const QString& text);
