// The install report thread against a small web server of our own on
// 127.0.0.1: what reaches the settings, what is sent at all, and that closing
// never waits on the network. Also the user guide that ships beside the program.
#include "TestSupport.h"

#include "InstallTrack.h"
#include "VGApp.h"
#include "VGConfig.h"
#include "ZelHttp.h"
#include "Zelfunction.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>
#include <gtest/gtest.h>
#include <condition_variable>
#include <memory>
#include <mutex>

namespace {

// Answers GET requests by path on the main thread's event loop. A path
// without an answer is held open and never answered.
class TTestServer : public QObject {
public:
    struct Answer { int status = 200; QByteArray body; };

    TTestServer()
    {
        EXPECT_TRUE(FServer.listen(QHostAddress::LocalHost, 0));
        connect(&FServer, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* s = FServer.nextPendingConnection()) {
                ++Connections;
                s->setParent(this);
                connect(s, &QTcpSocket::readyRead, this, [this, s] { Serve(s); });
            }
        });
    }
    QString Url(const QString& path) const
    {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(FServer.serverPort()).arg(path);
    }
    QHash<QString, Answer> Answers;
    QStringList Requests;   // paths asked for, in order
    int Connections = 0;

private:
    void Serve(QTcpSocket* s)
    {
        QByteArray& buf = FBuffers[s];
        buf += s->readAll();
        const qsizetype end = buf.indexOf("\r\n\r\n");
        if (end < 0)
            return;
        const QList<QByteArray> line = buf.left(buf.indexOf("\r\n")).split(' ');
        const QString path = line.size() > 1 ? QString::fromLatin1(line[1]) : QString();
        buf.clear();
        Requests << path;
        if (!Answers.contains(path))
            return;  // hang
        const Answer a = Answers.value(path);
        s->write("HTTP/1.1 " + QByteArray::number(a.status) + (a.status == 200 ? " OK" : " Error")
                 + "\r\nContent-Type: text/plain\r\nConnection: close\r\nContent-Length: "
                 + QByteArray::number(a.body.size()) + "\r\n\r\n" + a.body);
        s->disconnectFromHost();
    }
    QTcpServer FServer;
    QHash<QTcpSocket*, QByteArray> FBuffers;
};

// A port on which nothing listens.
QString RefusedUrl()
{
    QTcpServer probe;
    EXPECT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
    const quint16 port = probe.serverPort();
    probe.close();
    return QStringLiteral("http://127.0.0.1:%1/report").arg(port);
}

// A settings object of the run and an installer's record for one test.
class InstallTrack : public ::testing::Test {
protected:
    void SetUp() override
    {
        FOldRegistry = RegistryFile();
        SetRegistryFile(MakeTempDir("insrec") + "registry.ini");
        VGConfig = &Config;
    }
    void TearDown() override
    {
        StopInstallTrack(Thread);
        VGConfig = nullptr;
        SetRegistryFile(FOldRegistry);
    }
    void Record(const QString& report, const QString& partner)
    {
        WriteText(RegistryFile(), ("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\Vexmora.ProjFile]\ninsguid={G}\n"
                                   "InstallReportUrl=" + report + "\nPartnerStatusUrl=" + partner + "\n").toUtf8());
    }
    // Runs the thread to its end, serving the main thread meanwhile.
    void RunToEnd(TInstallTrackThread* t)
    {
        ASSERT_NE(t, nullptr);
        Thread = t;
        ASSERT_TRUE(PumpUntil([t] { return t->isFinished(); }, 15000));
        StopInstallTrack(Thread);
    }

    TVGConfig Config;
    TInstallTrackThread* Thread = nullptr;
    QString FOldRegistry;
};

}  // namespace

TEST_F(InstallTrack, PartnerAnswerWithLineBreakIsStoredAfterTheReport)
{
    TTestServer server;
    server.Answers["/report?id=7"] = {200, "ok"};
    server.Answers["/partner"] = {200, "2\r\n"};
    Record(server.Url("/report?id=7"), server.Url("/partner"));
    RunToEnd(StartInstallTrack());
    EXPECT_TRUE(Config.InstallTracked);
    EXPECT_EQ(Config.PartnerStatus, 2);
    EXPECT_EQ(server.Requests, QStringList({"/report?id=7", "/partner"}));
}

TEST_F(InstallTrack, UnreadableOrFailedPartnerAnswerStoresZero)
{
    for (const TTestServer::Answer& a : {TTestServer::Answer{200, "x"}, TTestServer::Answer{200, "2x"},
                                         TTestServer::Answer{200, ""}, TTestServer::Answer{404, "2"},
                                         TTestServer::Answer{500, "2"}}) {
        SCOPED_TRACE(a.status);
        SCOPED_TRACE(a.body.toStdString());
        Config.InstallTracked = false;
        Config.PartnerStatus = 0;
        TTestServer server;
        server.Answers["/r"] = {200, ""};
        server.Answers["/p"] = a;
        Record(server.Url("/r"), server.Url("/p"));
        RunToEnd(StartInstallTrack());
        EXPECT_TRUE(Config.InstallTracked);
        EXPECT_EQ(Config.PartnerStatus, 0);
        EXPECT_EQ(server.Requests.size(), 2);
    }
}

TEST_F(InstallTrack, RefusedConnectionMarksTheReportDone)
{
    const QString refused = RefusedUrl();
    Record(refused, refused);
    RunToEnd(StartInstallTrack());
    EXPECT_TRUE(Config.InstallTracked);
    EXPECT_EQ(Config.PartnerStatus, 0);
}

TEST_F(InstallTrack, FailedReportStillAsksForThePartnerStatus)
{
    TTestServer server;
    server.Answers["/r"] = {503, ""};
    server.Answers["/p"] = {200, " 5 \n"};
    Record(server.Url("/r"), server.Url("/p"));
    RunToEnd(StartInstallTrack());
    EXPECT_TRUE(Config.InstallTracked);
    EXPECT_EQ(Config.PartnerStatus, 5);
}

TEST_F(InstallTrack, EmptyOrMissingAddressesSendNothing)
{
    TTestServer server;
    // The record as the build and the installation write it, then one
    // without the two values at all (an older record).
    for (const QByteArray& record :
         {QByteArray("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\Vexmora.ProjFile]\ninsguid={G}\nInstallReportUrl=\nPartnerStatusUrl=\n"),
          QByteArray("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\Vexmora.ProjFile]\ninsguid={G}\n")}) {
        Config.InstallTracked = false;
        WriteText(RegistryFile(), record);
        RunToEnd(StartInstallTrack());
        EXPECT_TRUE(Config.InstallTracked);
        EXPECT_EQ(Config.PartnerStatus, 0);
    }
    EXPECT_EQ(server.Connections, 0);
}

TEST_F(InstallTrack, NotStartedOnceTheReportIsDone)
{
    TTestServer server;
    Record(server.Url("/r"), server.Url("/p"));
    Config.InstallTracked = true;
    EXPECT_EQ(StartInstallTrack(), nullptr);
    VGConfig = nullptr;
    EXPECT_EQ(StartInstallTrack(), nullptr);
    VGConfig = &Config;
    StopInstallTrack(Thread);  // none: nothing happens
    EXPECT_EQ(server.Connections, 0);
}

TEST_F(InstallTrack, KnownPartnerStatusIsNotAskedAgain)
{
    TTestServer server;
    server.Answers["/r"] = {200, ""};
    server.Answers["/p"] = {200, "2"};
    Record(server.Url("/r"), server.Url("/p"));
    Config.PartnerStatus = 3;
    RunToEnd(StartInstallTrack());
    EXPECT_TRUE(Config.InstallTracked);
    EXPECT_EQ(Config.PartnerStatus, 3);
    EXPECT_EQ(server.Requests, QStringList({"/r"}));
}

TEST_F(InstallTrack, SilentServerTimesOutAndCountsAsFailed)
{
    TTestServer server;  // answers nothing
    const TInstallTrackThread::TAddresses a{server.Url("/r"), server.Url("/p")};
    auto* t = new TInstallTrackThread(a, true, true, 300);
    QElapsedTimer clock;
    clock.start();
    t->Resume();
    RunToEnd(t);
    EXPECT_GE(clock.elapsed(), 550);
    EXPECT_LT(clock.elapsed(), 5000);
    EXPECT_TRUE(Config.InstallTracked);
    EXPECT_EQ(Config.PartnerStatus, 0);
    EXPECT_EQ(server.Requests, QStringList({"/r", "/p"}));
}

TEST_F(InstallTrack, StoppingNeverWaitsOnAHangingRequest)
{
    TTestServer server;  // answers nothing
    Record(server.Url("/r"), server.Url("/p"));
    Thread = StartInstallTrack();
    ASSERT_NE(Thread, nullptr);
    ASSERT_TRUE(PumpUntil([&] { return !server.Requests.isEmpty(); }, 5000));
    QElapsedTimer clock;
    clock.start();
    StopInstallTrack(Thread);
    RecordProperty("stop_ms", int(clock.elapsed()));
    EXPECT_LT(clock.elapsed(), 200);
    EXPECT_EQ(Thread, nullptr);
    // Cut short, the report was not made: the next start tries again.
    PumpUntil([] { return false; }, 50);
    EXPECT_FALSE(Config.InstallTracked);
    EXPECT_EQ(Config.PartnerStatus, 0);
}

TEST_F(InstallTrack, StoppingWhileTheResultWaitsForTheMainThread)
{
    // The main thread does not serve its queue, so the thread's hand-off
    // waits; stopping must still end it at once.
    TTestServer server;
    server.Answers["/r"] = {200, ""};
    Record(server.Url("/r"), QString());
    Thread = StartInstallTrack();
    ASSERT_NE(Thread, nullptr);
    // The server needs the main loop to answer; serve it until it did.
    ASSERT_TRUE(PumpUntil([&] { return !server.Requests.isEmpty(); }, 5000));
    QThread::msleep(100);
    QElapsedTimer clock;
    clock.start();
    StopInstallTrack(Thread);
    EXPECT_LT(clock.elapsed(), 200);
}

TEST(InstallTrackParse, PartnerStatusText)
{
    EXPECT_EQ(TInstallTrackThread::ParsePartnerStatus("2\r\n"), 2);
    EXPECT_EQ(TInstallTrackThread::ParsePartnerStatus(QByteArray("\t 2 \x01", 5)), 2);
    EXPECT_EQ(TInstallTrackThread::ParsePartnerStatus("-1"), -1);
    EXPECT_EQ(TInstallTrackThread::ParsePartnerStatus("x"), 0);
    EXPECT_EQ(TInstallTrackThread::ParsePartnerStatus("2 3"), 0);
    EXPECT_EQ(TInstallTrackThread::ParsePartnerStatus("99999999999"), 0);
    EXPECT_EQ(TInstallTrackThread::ParsePartnerStatus(""), 0);
}

TEST(Download, RefusesWhatIsNotAWebAddressAndOverlongAnswers)
{
    QByteArray body = "untouched";
    QString error;
    EXPECT_FALSE(DownloadUrl("file:///etc/passwd", &body, {}, &error));
    EXPECT_FALSE(DownloadUrl("", &body, {}, &error));
    EXPECT_FALSE(DownloadUrl("http://exa mple/", &body, {}, &error));
    EXPECT_EQ(body, "untouched");

    TTestServer server;
    server.Answers["/big"] = {200, QByteArray(5000, 'a')};
    TDownloadOptions small;
    small.MaxBytes = 1000;
    EXPECT_FALSE(DownloadUrl(server.Url("/big"), &body, small, &error));
    EXPECT_EQ(body, "untouched");
    EXPECT_TRUE(DownloadUrl(server.Url("/big"), &body));
    EXPECT_EQ(body.size(), 5000);
}

// A name lookup that hangs until released, as without a network.
struct THangingLookup {
    THangingLookup()
    {
        SetHostLookup([state = FState](const QString& host) {
            std::unique_lock<std::mutex> lock(state->Lock);
            ++state->Asked;
            state->Released.wait(lock, [&] { return state->Free; });
            return host == "localhost";
        });
    }
    ~THangingLookup()
    {
        SetHostLookup({});
        std::lock_guard<std::mutex> lock(FState->Lock);
        FState->Free = true;
        FState->Released.notify_all();
    }
    int Asked()
    {
        std::lock_guard<std::mutex> lock(FState->Lock);
        return FState->Asked;
    }
    struct TState {
        std::mutex Lock;
        std::condition_variable Released;
        bool Free = false;
        int Asked = 0;
    };
    std::shared_ptr<TState> FState = std::make_shared<TState>();
};

TEST(Download, HostNamesAreLookedUpWithoutHoldingAnyoneUp)
{
    TTestServer server;
    server.Answers["/n"] = {200, "named"};
    QByteArray body;
    QString error;
    // A real lookup of a name resolves and reaches the server.
    ASSERT_TRUE(DownloadUrl(QString(server.Url("/n")).replace("127.0.0.1", "localhost"), &body, {}, &error))
        << error.toStdString();
    EXPECT_EQ(body, "named");
    // A name that does not resolve fails without a request.
    EXPECT_FALSE(DownloadUrl("http://no-such-host.invalid/x", &body, {}, &error));

    THangingLookup hanging;
    TDownloadOptions quick;
    quick.TimeoutMs = 150;
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(DownloadUrl("http://report.example/x", &body, quick, &error));
    EXPECT_LT(clock.elapsed(), 1000);
    EXPECT_TRUE(error.contains("timed out")) << error.toStdString();
    EXPECT_EQ(hanging.Asked(), 1);
}

TEST_F(InstallTrack, StoppingNeverWaitsOnAHangingNameLookup)
{
    THangingLookup hanging;
    Record("http://report.example/r", "http://partner.example/p");
    Thread = StartInstallTrack();
    ASSERT_NE(Thread, nullptr);
    ASSERT_TRUE(PumpUntil([&] { return hanging.Asked() == 1; }, 5000));
    QElapsedTimer clock;
    clock.start();
    StopInstallTrack(Thread);
    EXPECT_LT(clock.elapsed(), 200);
    EXPECT_FALSE(Config.InstallTracked);
}

// ---- the user guide ----------------------------------------------------------------

TEST(UserGuide, AddressIsTheFileBesideTheProgram)
{
    TApp app(GANTERLY_BIN_DIR "/");
    TVGConfig config;
    VGConfig = &config;
    const QUrl url(app.UserGuideUrl());
    ASSERT_TRUE(url.isLocalFile()) << url.toString().toStdString();
    const QFileInfo file(url.toLocalFile());
    EXPECT_TRUE(file.isFile()) << file.filePath().toStdString();
    EXPECT_EQ(QFileInfo(file.absolutePath()).canonicalFilePath(), QFileInfo(app.ExeFolder).canonicalFilePath());
    // It is the guide of these windows.
    const QString text = ReadText(file.filePath());
    for (const char* caption : {"Help Content", "Output settings", "Crop", "Options", "Convert", "Save GIF File",
                                "Open Output Folder", "Play selection", "Locate start", "Flip &amp; Rotate"})
        EXPECT_TRUE(text.contains(QLatin1String(caption))) << caption;
    // Partner mode still sends both links to the partner's page.
    config.PartnerStatus = 2;
    EXPECT_EQ(app.UserGuideUrl(), app.SupportUrl());
    EXPECT_FALSE(QUrl(app.UserGuideUrl()).isLocalFile());
    VGConfig = nullptr;
}

TEST(UserGuide, BuiltRecordCarriesBothAddressesEmpty)
{
    const QString old = RegistryFile();
    SetRegistryFile(GANTERLY_BIN_DIR "/registry.ini");
    const QString text = ReadText(RegistryFile());
    const auto a = TInstallTrackThread::RecordedAddresses();
    SetRegistryFile(old);
    EXPECT_TRUE(text.contains("\nInstallReportUrl=\n")) << text.toStdString();
    EXPECT_TRUE(text.contains("\nPartnerStatusUrl=\n")) << text.toStdString();
    EXPECT_TRUE(a.Report.isEmpty());
    EXPECT_TRUE(a.Partner.isEmpty());
}
