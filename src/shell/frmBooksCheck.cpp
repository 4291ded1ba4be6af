#include "shell/frmBooksCheck.h"

#include "core/AppContext.h"
#include "core/Prompt.h"
#include "core/widgets/WindowPlacement.h"
#include "db/Sql.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace velmor::ui {

frmBooksCheck::frmBooksCheck(AppContext &ctx, QWidget *parent) : QDialog(parent), m_ctx(ctx)
{
    setObjectName(QStringLiteral("frmBooksCheck"));
    setWindowTitle(QStringLiteral("Check the books"));
    auto *v = new QVBoxLayout(this);
    lblProgress = new QLabel(this);
    lblProgress->setObjectName(QStringLiteral("lblProgress"));
    v->addWidget(lblProgress);
    prgCheck = new QProgressBar(this);
    prgCheck->setObjectName(QStringLiteral("prgCheck"));
    prgCheck->setRange(0, int(books::rules().size()));
    v->addWidget(prgCheck);
    tvwFindings = new QTreeWidget(this);
    tvwFindings->setObjectName(QStringLiteral("tvwFindings"));
    tvwFindings->setHeaderHidden(true);
    tvwFindings->setColumnCount(1);
    v->addWidget(tvwFindings, 1);
    lblSummary = new QLabel(this);
    lblSummary->setObjectName(QStringLiteral("lblSummary"));
    lblSummary->setWordWrap(true);
    v->addWidget(lblSummary);
    auto *buttons = new QHBoxLayout;
    cmdCheck = new QPushButton(QStringLiteral("Check again"), this);
    cmdCheck->setObjectName(QStringLiteral("cmdCheck"));
    cmdSaveCsv = new QPushButton(QStringLiteral("Save as CSV..."), this);
    cmdSaveCsv->setObjectName(QStringLiteral("cmdSaveCsv"));
    cmdSaveCsv->setEnabled(false);
    cmdClose = new QPushButton(QStringLiteral("Close"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    cmdClose->setDefault(true);
    buttons->addWidget(cmdCheck);
    buttons->addWidget(cmdSaveCsv);
    buttons->addStretch(1);
    buttons->addWidget(cmdClose);
    v->addLayout(buttons);
    connect(cmdCheck, &QPushButton::clicked, this, &frmBooksCheck::runCheck);
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::accept);
    connect(cmdSaveCsv, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Save the findings"),
                                                          QStringLiteral("books-check.csv"),
                                                          QStringLiteral("CSV files (*.csv)"));
        if (!path.isEmpty())
            saveCsv(path);
    });
    placeWindow(this, QSize(820, 560), parent);
    // The check starts once the window is up, so that its progress shows.
    QTimer::singleShot(0, this, &frmBooksCheck::runCheck);
}

void frmBooksCheck::runCheck()
{
    cmdCheck->setEnabled(false);
    cmdSaveCsv->setEnabled(false);
    tvwFindings->clear();
    lblSummary->clear();
    try {
        m_report = books::checkBooks(m_ctx.db(), [this](int done, int total, const QString &title) {
            prgCheck->setMaximum(total);
            prgCheck->setValue(done);
            lblProgress->setText(done < total ? QStringLiteral("Checking: %1 ...").arg(title)
                                              : QStringLiteral("Checked %1 rules.").arg(total));
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        });
        showReport(m_report);
        cmdSaveCsv->setEnabled(true);
    } catch (const db::DbError &e) {
        m_report = {};
        lblProgress->setText(QString());
        lblSummary->setText(QStringLiteral("The books could not be read:\n") + e.message());
    }
    cmdCheck->setEnabled(true);
}

void frmBooksCheck::showReport(const books::Report &r)
{
    for (const books::RuleResult &res : r.results) {
        if (res.clean())
            continue;
        auto *rule = new QTreeWidgetItem(tvwFindings);
        const QString kind =
            res.rule.severity == books::Severity::Error ? QStringLiteral("error") : QStringLiteral("warning");
        rule->setText(0, QStringLiteral("%1 (%2, %3)")
                             .arg(res.rule.title, kind)
                             .arg(res.failure.isEmpty() ? QStringLiteral("%1 rows").arg(res.rows.size())
                                                        : QStringLiteral("not checked")));
        auto *expects = new QTreeWidgetItem(rule);
        expects->setText(0, QStringLiteral("Expected: ") + res.rule.expects);
        if (!res.failure.isEmpty()) {
            (new QTreeWidgetItem(rule))->setText(0, QStringLiteral("Could not be checked: ") + res.failure);
            continue;
        }
        for (const QStringList &row : res.rows) {
            QStringList cells;
            for (int i = 0; i < row.size(); ++i)
                cells << res.columns.value(i) + QStringLiteral(": ") + row[i];
            (new QTreeWidgetItem(rule))->setText(0, cells.join(QStringLiteral("   ")));
        }
        rule->setExpanded(true);
    }
    lblSummary->setText(r.whole() ? (r.warnings() ? QStringLiteral("The books are whole (%1 warnings).").arg(r.warnings())
                                                  : QStringLiteral("The books are whole."))
                                  : QStringLiteral("The books disagree: %1 errors, %2 warnings.")
                                        .arg(r.errors())
                                        .arg(r.warnings()));
}

bool frmBooksCheck::saveCsv(const QString &path)
{
    QString why;
    if (books::writeCsv(m_report, path, &why))
        return true;
    m_ctx.prompt().inform(QStringLiteral("The list could not be saved to %1:\n\n%2").arg(path, why),
                          QStringLiteral("Check the books"), Icon::Exclamation);
    return false;
}

} // namespace velmor::ui
