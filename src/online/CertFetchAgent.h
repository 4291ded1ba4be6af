#pragma once
// velmor-certfetch, the web-service agent of the certificate look-up.  It
// reads requestgia.ini of the workstation folder (public IP address, weight,
// certificate number), asks the laboratory's report-results service for the
// report (address and key from online.ini), and writes xmlResponse.xml with
// the grading tags (or <ERROR> with the reason) and, when the service offers
// the report as a PDF, pdfResponse.pdf.  Both files are written whole under a
// temporary name and then renamed, so a reader never sees half a file.
#include <QString>
#include <QTextStream>

namespace velmor::online {

// Returns the exit code: 0 grading written, 1 an answer with <ERROR>
// written, 2 the request could not be read (no answer file).
int runCertFetchAgent(const QString &folder, QTextStream &out, QTextStream &err);

} // namespace velmor::online
