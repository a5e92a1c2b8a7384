#pragma once
// Commands of ganterly-cli register themselves by name; main dispatches.

#include <QString>
#include <QStringList>
#include <functional>

struct CliCommand {
    // args: the words after the command name. Answers the exit code.
    using Run = std::function<int(const QStringList& args)>;
    CliCommand(const char* name, const char* usage, Run run);
};

// Writes a line to stderr / stdout.
void CliErr(const QString& text);
void CliOut(const QString& text);
