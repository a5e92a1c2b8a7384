#pragma once
// The install report: once per installation, tell the maker that the program
// was installed and started, and ask for the partner status that decides
// where the help links point. Runs on a worker thread so that a slow or
// missing network never delays the user.
//
// Both addresses come from the installer's record beside the program; an
// empty address sends nothing. The results reach the settings object through
// a hand-off to the main thread, never by writing it from the worker.

#include "Zelclasses.h"

#include <QString>

class TInstallTrackThread : public TSafeThread {
    Q_OBJECT
public:
    struct TAddresses {
        QString Report;   // install report; the answer is ignored
        QString Partner;  // plain-text partner status
    };

    // report/askPartner: which of the two requests to make, decided by the
    // main thread from the settings when the thread is made.
    TInstallTrackThread(const TAddresses& addresses, bool report, bool askPartner, int timeoutMs = 10000);

    // Reads the addresses from the installer's record (empty when missing).
    static TAddresses RecordedAddresses();

    // The partner status in an answer: the text trimmed of spaces and control
    // characters, read as a whole integer, 0 when it is none.
    static int ParsePartnerStatus(const QByteArray& body);

    // Whether the address could be opened; body receives the whole answer.
    bool DownloadText(const QString& url, QByteArray* body);

protected:
    void SafeExecute() override;

private:
    const TAddresses FAddresses;
    const bool FReport;
    const bool FAskPartner;
    const int FTimeoutMs;
};

// For the main window when it is first shown: a running report thread when
// the settings say the report is not yet done, else none. Call it once per
// run (the caller keeps the thread and does not ask again while it has one).
TInstallTrackThread* StartInstallTrack();
// Stops the thread without waiting on the network, frees it and clears the
// pointer; nothing when it is already none.
void StopInstallTrack(TInstallTrackThread*& thread);
