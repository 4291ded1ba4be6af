#pragma once
// Where the online services are and how long they may take: the workstation
// file online.ini, key=value lines, `#` starts a comment; a missing file or
// key means the default.
//   ipecho=http://checkip.dyndns.org/      page that echoes the public address ("Address: a.b.c.d")
//   service=https://api.reportresults.gia.edu/   the laboratory's report-results service (agent)
//   key=...                                the dealer's key for that service (agent)
//   servicetimeout=45                      seconds the agent gives the service
//   timeout=60                             seconds Velmor waits for the agent's answer
//   agent=/path/velmor-certfetch           the installed agent (default: beside velmor)
//   agenturl=http://.../velmor-certfetch   a replacement agent to fetch, used only together with
//   agentsha256=<64 hex digits>            its expected SHA-256; without both the installed one runs
//   documents=/folder                      where report PDFs go (default: the shared folder)
//   allowhttp=yes                          report links over plain http are fetched too (a service
//                                          on this machine); by default only https links are
#include <QString>

namespace velmor {
class Workstation;
}

namespace velmor::online {

struct OnlineSettings {
    QString ipEcho = QStringLiteral("http://checkip.dyndns.org/");
    QString service = QStringLiteral("https://api.reportresults.gia.edu/");
    QString key;
    int serviceTimeoutMs = 45000;
    int answerTimeoutMs = 60000;
    QString agent;       // empty: the installed agent beside the program
    QString agentUrl;    // replacement download, with agentSha256
    QString agentSha256; // lower-case hex
    QString documents;   // empty: the shared folder
    bool allowHttp = false; // report links over plain http as well as https

    static OnlineSettings fromWorkstation(const Workstation &ws);
    static QString fileName() { return QStringLiteral("online.ini"); }
};

} // namespace velmor::online
