// ganterly-cli as a user runs it: help and usage errors and their exit codes,
// options anywhere and --opt=value, the progress line, signals in the middle
// of a conversion, an output that is the input, a disk that fills up.
#include "ConvertSupport.h"
#include "FixtureVideo.h"
#include "GifRead.h"
#include "TestSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QThread>
#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <pty.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

QString Cli() { return QStringLiteral(GANTERLY_BIN_DIR "/ganterly-cli"); }

struct TRun {
    int Code = -1;
    QString Out, Err;
    QStringList ErrLines() const { return Err.split('\n', Qt::SkipEmptyParts); }
};

// The environment every run gets: a TMPDIR of the test's own and a runtime
// folder, so Qt has nothing to warn about on stderr.
QProcessEnvironment Env(const QString& tmp = {})
{
    static const QString runtime = [] {
        const QString dir = MakeTempDir("cli-runtime");
        QFile::setPermissions(dir, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        return dir;
    }();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_RUNTIME_DIR", runtime);
    env.insert("QT_QPA_PLATFORM", "offscreen");
    if (!tmp.isEmpty())
        env.insert("TMPDIR", tmp);
    return env;
}

TRun RunCli(const QStringList& args, const QProcessEnvironment& env = Env(), long fileSizeLimit = 0)
{
    TRun r;
    QProcess p;
    p.setProcessEnvironment(env);
    if (fileSizeLimit > 0) {
        // A full disk, as far as one file is concerned: writes past the limit fail with EFBIG.
        p.setChildProcessModifier([fileSizeLimit] {
            ::signal(SIGXFSZ, SIG_IGN);
            rlimit lim{};
            ::getrlimit(RLIMIT_FSIZE, &lim);
            lim.rlim_cur = rlim_t(fileSizeLimit);
            ::setrlimit(RLIMIT_FSIZE, &lim);
        });
    }
    p.start(Cli(), args);
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished();
        r.Err = "timeout";
        return r;
    }
    r.Code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.Out = QString::fromLocal8Bit(p.readAllStandardOutput());
    r.Err = QString::fromLocal8Bit(p.readAllStandardError());
    return r;
}

// The clip of the conversions: 160 x 120, 25 fps, 50 frames showing their index.
const TClip& Clip()
{
    static const TClip clip = MakeClip("cli", "index.mp4", [](TFixtureVideo& v) { v.Quality = 18; });
    return clip;
}

// A longer, larger clip, so that a conversion runs long enough to be stopped.
const TClip& LongClip()
{
    static const TClip clip = MakeClip("cli-long", "long.mp4", [](TFixtureVideo& v) {
        v.Width = 640;
        v.Height = 480;
        v.FrameCount = 400;
        v.GopLength = 50;
    });
    return clip;
}

QByteArray Bytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList Entries(const QString& dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
}

}  // namespace

TEST(Cli, HelpExitsZeroAndUsageErrorsExitTwoWithOneLine)
{
    for (const QStringList& args : {QStringList{"--help"}, {"-h"}, {"help"}, {"convert", "--help"}, {"convert", "-h"},
                                    {"info", "--help"}, {"frame", "-h"}, {"group", "--help"}, {"help", "convert"},
                                    // help wins over whatever else is on the line
                                    {"convert", "in.mp4", "--bogus", "--help"}}) {
        const TRun r = RunCli(args);
        EXPECT_EQ(r.Code, 0) << args.join(' ').toStdString() << ": " << r.Err.toStdString();
        EXPECT_TRUE(r.Out.startsWith("usage: ganterly-cli")) << args.join(' ').toStdString();
        EXPECT_TRUE(r.Err.isEmpty()) << r.Err.toStdString();
    }
    EXPECT_TRUE(RunCli({"convert", "--help"}).Out.contains("--max-frames"));

    // Usage errors: decided by the words alone, before any file is looked at.
    const QString missing = Clip().Dir + "missing.mp4";
    struct Case { QStringList args; QString mentions; };
    const QList<Case> cases = {
        {{}, "usage"},
        {{"frob"}, "frob"},
        {{"-x"}, "-x"},
        {{"convert", missing, "x.gif", "--bogus"}, "--bogus"},
        {{"convert", missing, "x.gif", "-q"}, "-q"},
        {{"convert", missing, "x.gif", "--fps"}, "--fps needs a value"},
        {{"convert", missing, "x.gif", "--quiet=yes"}, "--quiet"},
        {{"convert", missing}, "OUT.gif"},
        {{"convert", missing, "x.gif", "y.gif"}, "OUT.gif"},
        {{"convert", missing, "x.gif", "--speed", "inf"}, "--speed"},
        {{"convert", missing, "x.gif", "--speed=-inf"}, "--speed"},
        {{"convert", missing, "x.gif", "--speed", "nan"}, "--speed"},
        {{"convert", missing, "x.gif", "--speed", "0"}, "--speed"},
        {{"convert", missing, "x.gif", "--speed", "-2"}, "--speed"},
        {{"convert", missing, "x.gif", "--max-frames", "0"}, "--max-frames"},
        {{"convert", missing, "x.gif", "--max-frames=-1"}, "--max-frames"},
        {{"convert", missing, "x.gif", "--rotate", "45"}, "--rotate"},
        {{"convert", missing, "x.gif", "--start", "2", "--end", "1"}, "--end"},
        {{"convert", missing, "x.gif", "--end", "1", "--duration", "1"}, "--duration"},
        {{"convert", missing, "x.gif", "--font", "Sans"}, "--font must follow a --text"},
        {{"convert", missing, "x.gif", "--text", "hi"}, "--text-at"},
        {{"convert", missing, "x.gif", "--logo-rect", "0,0,1,1"}, "--logo"},
        {{"convert", missing, "x.gif", "--delete", "soon"}, "--delete"},
        {{"info"}, "FILE"},
        {{"info", missing, "--bogus"}, "--bogus"},
        {{"frame", missing, "soon", "x.png"}, "soon"},
        {{"group", missing, "1", "0"}, "0"},
    };
    for (const Case& c : cases) {
        const TRun r = RunCli(c.args);
        EXPECT_EQ(r.Code, 2) << c.args.join(' ').toStdString() << ": " << r.Err.toStdString();
        EXPECT_EQ(r.ErrLines().size(), 1) << c.args.join(' ').toStdString() << ": " << r.Err.toStdString();
        EXPECT_TRUE(r.Err.contains(c.mentions)) << r.Err.toStdString() << " should mention " << c.mentions.toStdString();
        EXPECT_TRUE(r.Out.isEmpty()) << r.Out.toStdString();
    }
    EXPECT_FALSE(QFileInfo::exists("x.gif"));

    // A failure of the work exits 1.
    const TRun r = RunCli({"convert", missing, Clip().Dir + "x.gif"});
    EXPECT_EQ(r.Code, 1);
    EXPECT_TRUE(r.Err.contains("missing.mp4")) << r.Err.toStdString();
}

TEST(Cli, OptionsAnywhereAndWithEqualsGiveTheSameGif)
{
    const TClip& clip = Clip();
    REQUIRE_CLIP(clip);
    const QString dir = MakeTempDir("cli-opts");
    const QString in = clip.Video.Path;
    const QList<QStringList> spellings = {
        {in, dir + "a.gif", "--start", "0.4", "--end", "1.2", "--fps", "25", "--delete", "0.6", "0.8", "--quiet"},
        {"--start=0.4", "--quiet", in, "--end=1.2", dir + "a.gif", "--fps=25", "--delete=0.6", "--delete", "0.8"},
        {"--fps", "25", "--delete", "0.6", "0.8", "--start", "0.4", "--end", "1.2", "--quiet", in, dir + "a.gif"},
    };
    QByteArray first;
    for (const QStringList& words : spellings) {
        QFile::remove(dir + "a.gif");
        const TRun r = RunCli(QStringList{"convert"} + words);
        ASSERT_EQ(r.Code, 0) << words.join(' ').toStdString() << ": " << r.Err.toStdString();
        // --quiet leaves only the result line.
        EXPECT_TRUE(r.Err.isEmpty()) << r.Err.toStdString();
        EXPECT_TRUE(r.Out.contains("18 frames written")) << r.Out.toStdString();
        QList<int> expected;
        for (int i = 10; i < 30; ++i)
            if (i != 15 && i != 20)
                expected << i;
        EXPECT_EQ(GifIndexes(dir + "a.gif"), expected) << words.join(' ').toStdString();
        if (first.isEmpty())
            first = Bytes(dir + "a.gif");
        else
            EXPECT_EQ(Bytes(dir + "a.gif"), first) << words.join(' ').toStdString();
    }

    // "--" ends the options, so a file may start with a dash.
    QDir::setCurrent(dir);
    const TRun dash = RunCli({"convert", "--end", "0.2", "--fps", "25", "--quiet", "--", in, "-dash.gif"});
    EXPECT_EQ(dash.Code, 0) << dash.Err.toStdString();
    EXPECT_EQ(GifIndexes(dir + "-dash.gif"), (QList<int>{0, 1, 2, 3, 4}));
}

TEST(Cli, ProgressLineOnlyOnATerminal)
{
    const TClip& clip = Clip();
    REQUIRE_CLIP(clip);
    const QString dir = MakeTempDir("cli-progress");
    // Not a terminal: the settings line and the result, no progress.
    const TRun piped = RunCli({"convert", clip.Video.Path, dir + "p.gif", "--end", "1"});
    ASSERT_EQ(piped.Code, 0) << piped.Err.toStdString();
    EXPECT_FALSE(piped.Err.contains('%')) << piped.Err.toStdString();
    EXPECT_FALSE(piped.Err.contains('\r'));
    EXPECT_TRUE(piped.Err.startsWith("converting ")) << piped.Err.toStdString();

    // On a terminal the progress is redrawn up to 100 %, unless --quiet.
    auto onTerminal = [&](const QStringList& extra) {
        // Everything the child needs is made before the fork.
        QList<QByteArray> words{Cli().toLocal8Bit(), "convert", clip.Video.Path.toLocal8Bit(),
                                (dir + "t.gif").toLocal8Bit(), "--end", "1"};
        for (const QString& e : extra)
            words << e.toLocal8Bit();
        std::vector<char*> argv;
        for (QByteArray& w : words)
            argv.push_back(w.data());
        argv.push_back(nullptr);
        QList<QByteArray> vars;
        const QProcessEnvironment env = Env();
        for (const QString& key : env.keys())
            vars << (key + '=' + env.value(key)).toLocal8Bit();
        std::vector<char*> envp;
        for (QByteArray& v : vars)
            envp.push_back(v.data());
        envp.push_back(nullptr);
        int master = -1;
        const pid_t pid = ::forkpty(&master, nullptr, nullptr, nullptr);
        if (pid == 0) {
            // Only stderr stays on the terminal.
            const int devnull = ::open("/dev/null", O_WRONLY);
            ::dup2(devnull, STDOUT_FILENO);
            ::execve(argv[0], argv.data(), envp.data());
            ::_exit(127);
        }
        if (pid < 0) {
            ADD_FAILURE() << "no terminal: " << std::strerror(errno);
            return QString();
        }
        QByteArray seen;
        char buf[4096];
        for (;;) {
            const ssize_t n = ::read(master, buf, sizeof buf);
            if (n <= 0)
                break;  // EIO once the child has closed the terminal
            seen.append(buf, n);
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        ::close(master);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << seen.toStdString();
        return QString::fromLocal8Bit(seen);
    };
    const QString shown = onTerminal({});
    EXPECT_TRUE(shown.contains("converting: 100%")) << shown.toStdString();
    EXPECT_TRUE(shown.contains('\r'));
    const QString quiet = onTerminal({"--quiet"});
    EXPECT_TRUE(quiet.trimmed().isEmpty()) << quiet.toStdString();
}

TEST(Cli, SignalsStopTheConversionAndLeaveNothingBehind)
{
    const TClip& clip = LongClip();
    REQUIRE_CLIP(clip);
    for (int sig : {SIGTERM, SIGINT}) {
        for (const QString order : {"reverse", "original"}) {
            const QString out = MakeTempDir("cli-sig"), tmp = MakeTempDir("cli-sig-tmp");
            // An older GIF of the same name stays as it was.
            WriteText(out + "o.gif", "an older GIF");
            QProcess p;
            p.setProcessEnvironment(Env(tmp));
            p.start(Cli(), {"convert", clip.Video.Path, out + "o.gif", "--order", order, "--size", "original",
                            "--fps", "25", "--quiet"});
            ASSERT_TRUE(p.waitForStarted());
            // Stopped while it writes: once the partial GIF is there.
            QElapsedTimer timer;
            timer.start();
            // (and, in reverse order, once the frame store is in TMPDIR).
            bool partSeen = false, storeSeen = order != "reverse";
            while (!(partSeen && storeSeen) && p.state() == QProcess::Running && timer.elapsed() < 60000) {
                for (const QString& e : Entries(out))
                    partSeen = partSeen || e.endsWith(".part");
                storeSeen = storeSeen || !Entries(tmp).isEmpty();
                if (!(partSeen && storeSeen))
                    QThread::msleep(5);
            }
            ASSERT_TRUE(partSeen && storeSeen) << "no partial GIF or frame store appeared; "
                                                << p.readAllStandardError().toStdString();
            ::kill(pid_t(p.processId()), sig);
            ASSERT_TRUE(p.waitForFinished(30000));
            EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
            EXPECT_EQ(p.exitCode(), 128 + sig) << p.readAllStandardError().toStdString();
            EXPECT_EQ(Entries(out), QStringList{"o.gif"}) << order.toStdString() << " signal " << sig;
            EXPECT_EQ(Bytes(out + "o.gif"), QByteArray("an older GIF"));
            EXPECT_TRUE(Entries(tmp).isEmpty()) << Entries(tmp).join(' ').toStdString();
        }
    }
}

TEST(Cli, AnOutputThatIsTheInputIsRefused)
{
    const TClip& clip = Clip();
    REQUIRE_CLIP(clip);
    const QString dir = MakeTempDir("cli-same");
    const QString video = dir + "v.mp4";
    ASSERT_TRUE(QFile::copy(clip.Video.Path, video));
    const QByteArray original = Bytes(video);
    ASSERT_TRUE(QFile::link(video, dir + "link.gif"));
    ASSERT_EQ(::link(video.toLocal8Bit().constData(), (dir + "hard.gif").toLocal8Bit().constData()), 0);
    QDir(dir).mkdir("sub");
    QDir::setCurrent(dir + "sub");
    const QStringList inputs = {video, dir + "link.gif"};
    const QList<QStringList> cases = {
        {video, video},
        {video, "../v.mp4"},
        {video, "./../sub/../v.mp4"},
        {video, dir + "link.gif"},
        {dir + "link.gif", video},
        {"../link.gif", "../hard.gif"},
        {video, dir + "hard.gif"},
    };
    for (const QStringList& files : cases) {
        for (const QString order : {"original", "reverse"}) {
            const TRun r = RunCli({"convert", files[0], files[1], "--order", order});
            EXPECT_EQ(r.Code, 1) << files.join(' ').toStdString();
            EXPECT_TRUE(r.Err.contains("choose another name")) << r.Err.toStdString();
            EXPECT_EQ(Bytes(video), original) << files.join(' ').toStdString();
        }
    }
    EXPECT_TRUE(QFileInfo(dir + "link.gif").isSymLink());
    EXPECT_EQ(Entries(dir), (QStringList{"hard.gif", "link.gif", "sub", "v.mp4"}));
    // A different file of the same name elsewhere is fine.
    const TRun ok = RunCli({"convert", video, dir + "sub/v.mp4", "--end", "0.2", "--quiet"});
    EXPECT_EQ(ok.Code, 0) << ok.Err.toStdString();
    EXPECT_EQ(Bytes(video), original);
}

TEST(Cli, ExtremeSpeedsGiveTheGifTheyMean)
{
    const TClip& clip = Clip();
    REQUIRE_CLIP(clip);
    const QString dir = MakeTempDir("cli-speed");
    // So fast that the whole clip falls into the first output frame: the
    // last frame of the clip, shown once.
    for (const QString speed : {"1e15", "1e300"}) {
        for (const QString order : {"original", "reverse", "pingpong"}) {
            const QString gif = dir + "fast-" + order + ".gif";
            const TRun r = RunCli({"convert", clip.Video.Path, gif, "--speed", speed, "--order", order, "--fps", "10"});
            ASSERT_EQ(r.Code, 0) << r.Err.toStdString();
            EXPECT_EQ(GifIndexes(gif), QList<int>{49}) << speed.toStdString() << " " << order.toStdString();
            EXPECT_EQ(ParseGif(gif).Delays, QList<int>{10});
        }
    }
    // So slow that every output frame up to the limit shows the first frame.
    const QString slow = dir + "slow.gif";
    const TRun r = RunCli({"convert", clip.Video.Path, slow, "--speed", "1e-12", "--max-frames", "30"});
    ASSERT_EQ(r.Code, 0) << r.Err.toStdString();
    EXPECT_TRUE(r.Out.contains("30 frames written")) << r.Out.toStdString();
    EXPECT_TRUE(r.Err.contains("frame limit of 30")) << r.Err.toStdString();
    // Reverse order keeps the last 30: the last frame, held on (checked
    // quickly, not by writing a million-frame ring).
    QElapsedTimer timer;
    timer.start();
    const TRun rev = RunCli({"convert", clip.Video.Path, slow, "--speed", "1e-9", "--max-frames", "30", "--order", "reverse"});
    ASSERT_EQ(rev.Code, 0) << rev.Err.toStdString();
    EXPECT_LT(timer.elapsed(), 30000);
    const QList<QImage> frames = ReadWithQt(slow);
    ASSERT_FALSE(frames.isEmpty());
    EXPECT_EQ(ReadFixtureIndex(frames.first()), 49);
}

TEST(Cli, AFullDiskNamesTheCauseAndLeavesNothing)
{
    const TClip& clip = LongClip();
    REQUIRE_CLIP(clip);
    // Reverse order fills the frame store in TMPDIR first, original order the GIF.
    struct Case { QString order; QString mentions; };
    for (const Case& c : {Case{"reverse", "temporary frame file"}, Case{"original", "Cannot write the GIF file"}}) {
        const QString out = MakeTempDir("cli-full"), tmp = MakeTempDir("cli-full-tmp");
        WriteText(out + "o.gif", "an older GIF");
        const TRun r = RunCli({"convert", clip.Video.Path, out + "o.gif", "--order", c.order, "--size", "original",
                            "--quiet"},
                           Env(tmp), 300 * 1024);
        EXPECT_EQ(r.Code, 1) << r.Err.toStdString();
        EXPECT_TRUE(r.Err.contains(c.mentions)) << r.Err.toStdString();
        EXPECT_TRUE(r.Err.contains(QString::fromLocal8Bit(std::strerror(EFBIG)))) << r.Err.toStdString();
        EXPECT_FALSE(r.Err.contains("Unknown error")) << r.Err.toStdString();
        EXPECT_EQ(Entries(out), QStringList{"o.gif"});
        EXPECT_EQ(Bytes(out + "o.gif"), QByteArray("an older GIF"));
        EXPECT_TRUE(Entries(tmp).isEmpty()) << Entries(tmp).join(' ').toStdString();
    }
}
