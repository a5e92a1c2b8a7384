#include "InstallTrack.h"

#include "VGConfig.h"
#include "ZelHttp.h"
#include "Zelfunction.h"

namespace {
const QString kInstallKey = QStringLiteral("SOFTWARE\\Classes\\Vexmora.ProjFile");
const QString kReportValue = QStringLiteral("InstallReportUrl");
const QString kPartnerValue = QStringLiteral("PartnerStatusUrl");
}  // namespace

TInstallTrackThread::TInstallTrackThread(const TAddresses& addresses, bool report, bool askPartner, int timeoutMs)
    : FAddresses(addresses), FReport(report), FAskPartner(askPartner), FTimeoutMs(timeoutMs)
{
}

TInstallTrackThread::TAddresses TInstallTrackThread::RecordedAddresses()
{
    return {ReadRegString(HKEY_LOCAL_MACHINE, kInstallKey, kReportValue).trimmed(),
            ReadRegString(HKEY_LOCAL_MACHINE, kInstallKey, kPartnerValue).trimmed()};
}

int TInstallTrackThread::ParsePartnerStatus(const QByteArray& body)
{
    qsizetype from = 0, to = body.size();
    while (from < to && static_cast<unsigned char>(body[from]) <= ' ')
        ++from;
    while (to > from && static_cast<unsigned char>(body[to - 1]) <= ' ')
        --to;
    bool ok = false;
    const int value = body.mid(from, to - from).toInt(&ok, 10);
    return ok ? value : 0;
}

bool TInstallTrackThread::DownloadText(const QString& url, QByteArray* body)
{
    TDownloadOptions options;
    options.TimeoutMs = FTimeoutMs;
    options.Cancelled = [this] { return Terminated(); };
    QString error;
    if (DownloadUrl(url, body, options, &error))
        return true;
    MsgOut(QStringLiteral("install track: ") + error);
    return false;
}

void TInstallTrackThread::SafeExecute()
{
    setPriority(QThread::LowestPriority);
    MsgOut(QStringLiteral("install track"));

    if (FReport) {
        if (!FAddresses.Report.isEmpty())
            DownloadText(FAddresses.Report, nullptr);
        // Sent or not, the report is never tried again. A stop during the
        // request leaves it undone, so the next start tries once more.
        if (Terminated())
            return;
        Synchronize([] {
            if (VGConfig)
                VGConfig->InstallTracked = true;
        });
    }

    if (FAskPartner && !FAddresses.Partner.isEmpty() && !Terminated()) {
        QByteArray body;
        if (!DownloadText(FAddresses.Partner, &body))
            return;
        const int status = ParsePartnerStatus(body);
        Synchronize([status] {
            if (VGConfig && VGConfig->PartnerStatus == 0)
                VGConfig->PartnerStatus = status;
        });
    }
}

TInstallTrackThread* StartInstallTrack()
{
    if (!VGConfig || VGConfig->InstallTracked)
        return nullptr;
    auto* thread = new TInstallTrackThread(TInstallTrackThread::RecordedAddresses(), true, VGConfig->IsPartnerUnknown());
    thread->Resume();
    return thread;
}

void StopInstallTrack(TInstallTrackThread*& thread)
{
    if (!thread)
        return;
    TInstallTrackThread* t = thread;
    thread = nullptr;
    t->Free();
}
