#pragma once
// The laboratory certificate look-up, Velmor's side: the request file, the
// duplicate check, the public IP address, choosing the agent (the installed
// velmor-certfetch; a replacement only when its download address and SHA-256
// are configured and the download matches), running it, waiting for its
// answer with a time limit while the windows stay alive, and copying the
// report PDF into the stone-document folder.
#include "online/GiaAnswer.h"
#include "online/OnlineSettings.h"

#include <QSqlDatabase>
#include <QString>
#include <functional>
#include <memory>

class QProcess;

namespace velmor {
class AppContext;
class Workstation;
}

namespace velmor::online {

struct GiaRequest {
    QString ip;
    QString weight;
    QString certificate;
};

// The certificate number with all spaces removed.
QString compactCertificate(const QString &typed);

// requestgia.ini: IP address, weight, certificate number.  Refuses values
// with line breaks (they would shift the lines).
bool writeRequestFile(const Workstation &ws, const GiaRequest &r);
QString readIpAddress(const Workstation &ws);
bool writeIpAddress(const Workstation &ws, const QString &ip);

// The address on the IP-echo page: the text after "Address: " up to the
// next "," or, when there is none, the next "<"; empty when not found.
QString publicIpFromPage(const QByteArray &page);
struct IpRefresh {
    QString ip;     // empty on failure
    QString error;  // why, for the user
};
IpRefresh fetchPublicIp(const OnlineSettings &s);

// A GIA stone with this certificate number is already in SingleStone.
// Throws db::DbError.
bool giaAlreadyInSystem(const QSqlDatabase &db, const QString &certificate);
QString duplicateMessage(const QString &certificate);

// The file name of a report in the stone-document folder: "GIA" + number + ".pdf",
// with anything but letters, digits, "-" and "_" in the number made "_".
QString reportFileName(const QString &certificate);

struct AgentChoice {
    QString program; // empty: none usable
    QString message; // why none is usable
    QString note;    // a replacement that was refused (kept the installed one)
};
// The installed agent beside the program (or `agent=`), or a verified replacement.
AgentChoice chooseAgent(const Workstation &ws, const OnlineSettings &s);

class GiaLookup {
public:
    enum Outcome { Found, NoAgent, AgentFailed, TimedOut, NoGrading, Unreadable };
    struct Result {
        Outcome outcome = AgentFailed;
        GiaAnswer answer;
        QString message; // for the user, empty when Found
    };

    GiaLookup(const Workstation &ws, const OnlineSettings &s);
    ~GiaLookup();
    GiaLookup(const GiaLookup &) = delete;
    GiaLookup &operator=(const GiaLookup &) = delete;

    // Deletes the old answer files, starts the agent on the request file
    // already written and waits for xmlResponse.xml (at most the configured
    // time; the agent is stopped when it runs out).
    Result fetch();
    // Copies pdfResponse.pdf to folder/reportFileName(certificate) once its
    // size holds still over 1.5 s (then after 0.5 s more), and deletes it.
    // Waits at most 15 s for the file, less when the agent ends without it.
    // Returns the copy's path, empty when there was no report.
    QString copyReport(const QString &certificate, const QString &folder);
    QString agentNote() const { return m_note; }

private:
    bool agentRunning() const;
    void stopAgent();

    const Workstation &m_ws;
    OnlineSettings m_settings;
    std::unique_ptr<QProcess> m_agent;
    QString m_note;
};

// Waits until `done` is true or `ms` have passed, letting the event loop run
// meanwhile (the windows repaint and take input); true when done.
bool waitFor(const std::function<bool()> &done, int ms);

// The stone-document folder: `documents=` of online.ini, else the shared folder.
QString documentFolder(const AppContext &ctx, const OnlineSettings &s);

// The whole look-up for a screen: fetch, tell the user what went wrong
// (through ctx.prompt(), title "GIA Certificate"), hand a grading to `fill`,
// which returns false when it could not take it (the stone is no longer in
// hand), then copy the report and hand its copy's path to `report` (when
// given).  True when `fill` took the grading.
bool runCertificateLookup(AppContext &ctx, const GiaRequest &request,
                          const std::function<bool(const GiaAnswer &)> &fill,
                          const std::function<void(const QString &reportPath)> &report = {});

// Which stone-screen control each answer tag fills (the laboratory and the
// certificate number come from the request itself).
struct GiaField {
    const char *control;
    const char *tag;
};
const QList<GiaField> &giaFields();

} // namespace velmor::online
