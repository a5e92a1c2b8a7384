// ganterly-cli: the program's own code from the command line.
#include "Cli.h"

#include "Zelfunction.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <cstdio>
#include <map>
#include <string>

namespace {
struct Entry { QString usage; CliCommand::Run run; };
std::map<QString, Entry>& Commands()
{
    static std::map<QString, Entry> commands;
    return commands;
}

void Usage()
{
    CliErr(QStringLiteral("usage: ganterly-cli --version"));
    for (const auto& [name, entry] : Commands())
        CliErr(QStringLiteral("       ganterly-cli ") + entry.usage);
}
}  // namespace

CliCommand::CliCommand(const char* name, const char* usage, Run run)
{
    Commands()[QString::fromUtf8(name)] = Entry{QString::fromUtf8(usage), std::move(run)};
}

void CliErr(const QString& text) { std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData()); std::fflush(stderr); }
void CliOut(const QString& text) { std::fprintf(stdout, "%s\n", text.toLocal8Bit().constData()); std::fflush(stdout); }

int main(int argc, char** argv)
{
    // Text overlays need fonts, so a GUI application without a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (args.isEmpty()) {
        Usage();
        return 2;
    }
    const QString cmd = args.takeFirst();
    if (cmd == QLatin1String("--version") || cmd == QLatin1String("version")) {
        CliOut(QStringLiteral("ganterly-cli ") + GetProVersion(true));
        return 0;
    }
    auto it = Commands().find(cmd);
    if (it == Commands().end()) {
        CliErr(QStringLiteral("unknown command: ") + cmd);
        Usage();
        return 2;
    }
    return it->second.run(args);
}
