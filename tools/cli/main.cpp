// ganterly-cli: the program's own code from the command line.
#include "Cli.h"

#include "Zelfunction.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <cstdio>
#include <map>
#include <memory>
#include <string>

namespace {
struct Entry { QString usage; std::vector<TCliOption> options; CliCommand::Run run; };
std::map<QString, Entry>& Commands()
{
    static std::map<QString, Entry> commands;
    return commands;
}

const QString kProgram = QStringLiteral("ganterly-cli");

int gArgc = 0;
char** gArgv = nullptr;
std::unique_ptr<QGuiApplication> gApp;

// The first line of every command, for --help.
void Usage()
{
    CliOut(QStringLiteral("usage: ganterly-cli COMMAND [ARGUMENTS] (ganterly-cli COMMAND --help for its options)"));
    CliOut(QStringLiteral("       ganterly-cli --version"));
    for (const auto& [name, entry] : Commands())
        CliOut(QStringLiteral("       ganterly-cli ") + entry.usage.section(QLatin1Char('\n'), 0, 0));
}

void CommandUsage(const Entry& entry)
{
    const QStringList lines = entry.usage.split(QLatin1Char('\n'));
    CliOut(QStringLiteral("usage: ganterly-cli ") + lines.first());
    for (qsizetype i = 1; i < lines.size(); ++i)
        CliOut(lines[i]);
}

const TCliOption* FindOption(const std::vector<TCliOption>& options, const QString& name)
{
    for (const TCliOption& o : options)
        if (o.Name == name)
            return &o;
    return nullptr;
}

// A word that starts with '-' but is a number ("-1", "-.5") is no option.
bool LooksNegativeNumber(const QString& word)
{
    return word.size() > 1 && word[0] == QLatin1Char('-') && (word[1].isDigit() || word[1] == QLatin1Char('.'));
}
}  // namespace

bool TCliArgs::Has(const QString& name) const
{
    for (const auto& [n, v] : Options)
        if (n == name)
            return true;
    return false;
}

bool ParseCliArgs(const QStringList& args, const std::vector<TCliOption>& options, TCliArgs& out, QString& error)
{
    out = {};
    bool optionsEnded = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& word = args[i];
        if (optionsEnded || word == QLatin1String("-") || LooksNegativeNumber(word) || !word.startsWith(QLatin1Char('-'))) {
            out.Files << word;
            continue;
        }
        if (word == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        if (word == QLatin1String("-h") || word == QLatin1String("--help")) {
            out.Help = true;
            continue;
        }
        if (!word.startsWith(QLatin1String("--"))) {
            error = QStringLiteral("unknown option %1").arg(word);
            return false;
        }
        const qsizetype eq = word.indexOf(QLatin1Char('='));
        const QString name = word.mid(2, eq < 0 ? -1 : eq - 2);
        const TCliOption* opt = FindOption(options, name);
        if (!opt) {
            error = QStringLiteral("unknown option --%1").arg(name);
            return false;
        }
        if (opt->Type == TCliOption::Flag) {
            if (eq >= 0) {
                error = QStringLiteral("--%1 takes no value").arg(name);
                return false;
            }
            out.Options.emplace_back(name, QString());
            continue;
        }
        if (eq >= 0) {
            out.Options.emplace_back(name, word.mid(eq + 1));
            continue;
        }
        if (i + 1 >= args.size()) {
            error = QStringLiteral("--%1 needs a value").arg(name);
            return false;
        }
        out.Options.emplace_back(name, args[++i]);
        if (opt->Type == TCliOption::List && opt->More)
            while (i + 1 < args.size() && !args[i + 1].startsWith(QLatin1String("--")) && opt->More(args[i + 1]))
                out.Options.emplace_back(name, args[++i]);
    }
    return true;
}

CliCommand::CliCommand(const char* name, const char* usage, std::vector<TCliOption> options, Run run)
{
    Commands()[QString::fromUtf8(name)] = Entry{QString::fromUtf8(usage), std::move(options), std::move(run)};
}

void CliErr(const QString& text) { std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData()); std::fflush(stderr); }
void CliOut(const QString& text) { std::fprintf(stdout, "%s\n", text.toLocal8Bit().constData()); std::fflush(stdout); }

int CliUsageError(const QString& command, const QString& text)
{
    CliErr(QStringLiteral("%1 %2: %3 (see %1 %2 --help)").arg(kProgram, command, text));
    return CliUsage;
}

void CliStartApp()
{
    if (gApp)
        return;
    // Text overlays need fonts, so a GUI application without a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    gApp = std::make_unique<QGuiApplication>(gArgc, gArgv);
}

int main(int argc, char** argv)
{
    // The words are checked before the application starts, so help and
    // usage errors print nothing but their own lines.
    gArgc = argc;
    gArgv = argv;
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    if (args.isEmpty()) {
        CliErr(QStringLiteral("usage: ganterly-cli COMMAND [ARGUMENTS]; ganterly-cli --help lists the commands"));
        return CliUsage;
    }
    const QString cmd = args.takeFirst();
    if (cmd == QLatin1String("--help") || cmd == QLatin1String("-h") || cmd == QLatin1String("help")) {
        if (cmd == QLatin1String("help") && !args.isEmpty()) {
            auto it = Commands().find(args.first());
            if (it == Commands().end()) {
                CliErr(QStringLiteral("ganterly-cli help: unknown command %1").arg(args.first()));
                return CliUsage;
            }
            CommandUsage(it->second);
            return CliOk;
        }
        Usage();
        return CliOk;
    }
    if (cmd == QLatin1String("--version") || cmd == QLatin1String("version")) {
        CliOut(QStringLiteral("ganterly-cli ") + GetProVersion(true));
        return CliOk;
    }
    auto it = Commands().find(cmd);
    if (it == Commands().end()) {
        CliErr(cmd.startsWith(QLatin1Char('-'))
                   ? QStringLiteral("ganterly-cli: unknown option %1; ganterly-cli --help lists the commands").arg(cmd)
                   : QStringLiteral("ganterly-cli: unknown command %1; ganterly-cli --help lists the commands").arg(cmd));
        return CliUsage;
    }
    TCliArgs parsed;
    QString error;
    const bool ok = ParseCliArgs(args, it->second.options, parsed, error);
    // Help wins over everything else on the line, as it usually does.
    if (parsed.Help || (!ok && (args.contains(QStringLiteral("--help")) || args.contains(QStringLiteral("-h"))))) {
        CommandUsage(it->second);
        return CliOk;
    }
    if (!ok)
        return CliUsageError(cmd, error);
    const int code = it->second.run(parsed);
    gApp.reset();
    return code;
}
