#include "restore/restorewindow.h"

#include "core/promptowner.h"
#include "log/pathtext.h"
#include "restore/archivesearch.h"
#include "restore/backuplistview.h"
#include "restore/contentsview.h"
#include "restore/overwritedialog.h"
#include "restore/restorelogtext.h"
#include "restore/restoremessages.h"
#include "restore/searchresultsview.h"
#include "widgets/pathlabel.h"
#include "widgets/screenfit.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QStackedWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace fs = std::filesystem;

namespace {

constexpr int SearchDelayMs = 300;
constexpr int ProgressRange = 1000;
constexpr QSize PreferredSize(1080, 620);
// Of the width, the share of the list of backups; the rest shows names and paths.
constexpr double BackupListShare = 0.45;

QPushButton* button(const QString& text, const QString& name, QWidget* parent) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(name);
    return b;
}

} // namespace

RestoreWindow::RestoreWindow(DestinationSource destination, UserPrompts& prompts, FolderOpener openFolder,
                             QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_destination(std::move(destination))
    , m_prompts(prompts)
    , m_openFolder(std::move(openFolder))
    , m_worker(new RestoreWorker(this))
    , m_destinationLabel(new PathLabel(this))
    , m_search(new QLineEdit(this))
    , m_searchDelay(new QTimer(this))
    , m_backups(new BackupListView(this))
    , m_splitter(new QSplitter(Qt::Horizontal, this))
    , m_pages(new QStackedWidget(this))
    , m_contents(new ContentsView(this))
    , m_results(new SearchResultsView(this))
    , m_status(new QLabel(this))
    , m_progress(new QProgressBar(this))
    , m_btRefresh(button(QStringLiteral("Refresh"), QStringLiteral("btRefresh"), this))
    , m_btOpenDestination(
          button(QStringLiteral("Open destination folder"), QStringLiteral("btOpenDestination"), this))
    , m_btVerify(button(QStringLiteral("Verify"), QStringLiteral("btVerify"), this))
    , m_btRestore(button(QStringLiteral("Restore"), QStringLiteral("btRestore"), this))
    , m_btRestoreTo(button(QStringLiteral("Restore to..."), QStringLiteral("btRestoreTo"), this))
    , m_btCancel(button(QStringLiteral("Cancel"), QStringLiteral("btCancel"), this)) {
    setObjectName(QStringLiteral("restoreWindow"));
    setWindowTitle(QStringLiteral("Restore"));
    resize(PreferredSize);
    ScreenFit::keepOnScreen(this);
    m_overwriteAsk = [this](const OverwriteQuestion& question) {
        return OverwriteDialog::ask(this, question);
    };

    m_destinationLabel->setObjectName(QStringLiteral("destinationLabel"));
    m_search->setObjectName(QStringLiteral("searchEdit"));
    m_search->setPlaceholderText(QStringLiteral("Find a file in all backups"));
    m_search->setClearButtonEnabled(true);
    m_searchDelay->setSingleShot(true);
    m_searchDelay->setInterval(SearchDelayMs);
    m_status->setObjectName(QStringLiteral("statusLabel"));
    m_status->setTextFormat(Qt::PlainText);
    // The names it shows while a restore runs must not widen the window.
    m_status->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_progress->setObjectName(QStringLiteral("progressBar"));
    m_progress->setRange(0, ProgressRange);
    m_progress->setVisible(false);
    m_btCancel->setVisible(false);
    m_btRestore->setToolTip(QStringLiteral("Restore the selected files and folders to where they were"));
    m_btRestoreTo->setToolTip(
        QStringLiteral("Restore the selected files and folders to a folder you choose"));
    m_btVerify->setToolTip(QStringLiteral("Test every file of the selected backup"));

    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("Backups in:"), this));
    top->addWidget(m_destinationLabel, 1);
    top->addWidget(m_btRefresh);
    top->addWidget(m_btOpenDestination);

    m_pages->addWidget(m_contents);
    m_pages->addWidget(m_results);
    m_splitter->addWidget(m_backups);
    m_splitter->addWidget(m_pages);
    m_splitter->setStretchFactor(0, 2);
    m_splitter->setStretchFactor(1, 3);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_status, 1);
    bottom->addWidget(m_progress, 1);
    bottom->addWidget(m_btCancel);
    bottom->addWidget(m_btVerify);
    bottom->addWidget(m_btRestore);
    bottom->addWidget(m_btRestoreTo);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_search);
    layout->addWidget(m_splitter, 1);
    layout->addLayout(bottom);

    connect(m_btRefresh, &QPushButton::clicked, this, &RestoreWindow::refresh);
    connect(m_btOpenDestination, &QPushButton::clicked, this, &RestoreWindow::btOpenDestinationClick);
    connect(m_btRestore, &QPushButton::clicked, this, &RestoreWindow::btRestoreClick);
    connect(m_btRestoreTo, &QPushButton::clicked, this, &RestoreWindow::btRestoreToClick);
    connect(m_btVerify, &QPushButton::clicked, this, &RestoreWindow::btVerifyClick);
    connect(m_btCancel, &QPushButton::clicked, this, &RestoreWindow::btCancelClick);
    connect(m_backups, &QTreeWidget::currentItemChanged, this, &RestoreWindow::backupChosen);
    connect(m_search, &QLineEdit::textChanged, m_searchDelay, qOverload<>(&QTimer::start));
    connect(m_search, &QLineEdit::returnPressed, this, &RestoreWindow::runSearch);
    connect(m_searchDelay, &QTimer::timeout, this, &RestoreWindow::runSearch);
    connect(m_worker, &RestoreWorker::progress, this, &RestoreWindow::workerProgress);
    connect(m_worker, &RestoreWorker::restoreFinished, this, &RestoreWindow::showRestoreResult);
    connect(m_worker, &RestoreWorker::verifyFinished, this, &RestoreWindow::showVerifyResult);
}

RestoreWindow::~RestoreWindow() {
    m_worker->cancel();
}

void RestoreWindow::showRestore() {
    refresh();
    if (!m_placed)
        placeFirstTime();
    show();
    raise();
    activateWindow();
}

void RestoreWindow::placeFirstTime() {
    // Centred on the screen of the window it was opened from, at a size that fits that screen.
    m_placed = true;
    const QWidget* opener = parentWidget() != nullptr ? parentWidget()->window() : nullptr;
    const QRect area = ScreenFit::availableFor(opener != nullptr ? opener->frameGeometry() : QRect());
    const QSize size = PreferredSize.boundedTo(area.size() * 9 / 10).expandedTo(minimumSizeHint());
    QRect place(QPoint(), size);
    place.moveCenter(area.center());
    setGeometry(ScreenFit::within(place, area));
    const int listWidth = static_cast<int>(size.width() * BackupListShare);
    m_splitter->setSizes({listWidth, size.width() - listWidth});
}

void RestoreWindow::tell(const QString& text) {
    const PromptOwner owner(m_prompts, this);
    m_prompts.notify(text);
}

void RestoreWindow::refresh() {
    const fs::path destination = m_destination();
    m_destinationLabel->setPath(pathText(destination));
    m_contents->showArchive(nullptr);
    m_results->setHits({}, {}, {});
    m_cache.clear();
    m_backups->setBackups(BackupCatalog::scan(destination));
    m_status->setText(m_backups->backups().empty()
                          ? QStringLiteral("No backups in this folder.")
                          : QStringLiteral("%1 backups").arg(m_backups->backups().size()));
    if (!m_search->text().isEmpty())
        runSearch();
}

void RestoreWindow::btOpenDestinationClick() {
    m_openFolder(m_destination());
}

void RestoreWindow::backupChosen() {
    const BackupArchive* archive = m_backups->currentArchive();
    if (archive == nullptr)
        return;
    std::string error;
    const ArchiveContents* contents = m_cache.get(archive->path, &error);
    m_contents->showArchive(contents);
    m_pages->setCurrentWidget(m_contents);
    m_status->setText(contents != nullptr
                          ? pathText(archive->path.filename())
                          : pathText(archive->path.filename()) + QStringLiteral(" cannot be read: ") +
                                QString::fromStdString(error));
}

void RestoreWindow::runSearch() {
    m_searchDelay->stop();
    const QByteArray text = m_search->text().toUtf8();
    if (text.isEmpty()) {
        m_pages->setCurrentWidget(m_contents);
        return;
    }
    std::vector<ArchiveSearch::Source> sources;
    QStringList names;
    for (const BackupArchive& backup : m_backups->backups()) {
        if (const ArchiveContents* contents = m_cache.get(backup.path)) {
            sources.push_back({contents, backup.mtimeNs});
            names.append(pathText(backup.path.filename()));
        }
    }
    const std::vector<ArchiveSearch::Hit> hits = ArchiveSearch::find(sources, text.toStdString());
    m_results->setHits(sources, hits, names);
    m_pages->setCurrentWidget(m_results);
    QString status = QStringLiteral("Found: %1").arg(hits.size());
    if (hits.size() > SearchResultsView::MaxShown)
        status += QStringLiteral(" (the first %1 are shown)").arg(SearchResultsView::MaxShown);
    m_status->setText(status);
}

bool RestoreWindow::fillRequest(RestoreRequest& request) {
    if (m_pages->currentWidget() == m_results) {
        for (const auto& [contents, entry] : m_results->selectedEntries()) {
            if (request.originalPlace)
                request.items.push_back({request.archiveIndex(contents->path()), entry, 0});
            else
                request.addEntry(*contents, entry);
        }
    } else if (const ArchiveContents* contents = m_contents->contents()) {
        for (std::uint32_t node : m_contents->selectedNodes())
            request.addNode(*contents, node);
    }
    if (request.items.empty()) {
        tell(QStringLiteral("Select the files and folders to restore."));
        return false;
    }
    return true;
}

void RestoreWindow::btRestoreClick() {
    if (m_worker->busy())
        return;
    RestoreRequest request;
    request.originalPlace = true;
    if (fillRequest(request))
        startRestore(std::move(request));
}

void RestoreWindow::btRestoreToClick() {
    if (m_worker->busy())
        return;
    RestoreRequest request;
    request.originalPlace = false;
    if (!fillRequest(request))
        return;
    const PromptOwner owner(m_prompts, this);
    const std::optional<fs::path> folder =
        m_prompts.pickFolder(QStringLiteral("Restore to"), QStringLiteral("Restore the selected files to:"),
                             fs::path(qEnvironmentVariable("HOME").toStdString()));
    if (!folder)
        return;
    request.folder = *folder;
    startRestore(std::move(request));
}

void RestoreWindow::startRestore(RestoreRequest request) {
    setBusy(true);
    m_status->setText(QStringLiteral("Restoring..."));
    m_restoring = request;
    m_restoring.items.clear();
    m_worker->startRestore(std::move(request), m_overwriteAsk);
}

void RestoreWindow::btVerifyClick() {
    if (m_worker->busy())
        return;
    const BackupArchive* archive = m_backups->currentArchive();
    if (archive == nullptr) {
        tell(QStringLiteral("Choose a backup to verify."));
        return;
    }
    m_verifiedName = pathText(archive->path.filename());
    m_verifiedPath = archive->path;
    setBusy(true);
    m_status->setText(QStringLiteral("Verifying ") + m_verifiedName);
    m_worker->startVerify(archive->path);
}

void RestoreWindow::btCancelClick() {
    m_worker->cancel();
}

void RestoreWindow::workerProgress(quint64 done, quint64 total, const QString& name) {
    m_progress->setValue(total == 0 ? 0 : static_cast<int>(done * ProgressRange / total));
    if (!name.isEmpty())
        m_status->setText(name);
}

void RestoreWindow::showRestoreResult(const RestoreReport& report) {
    setBusy(false);
    m_status->setText(report.cancelled ? QStringLiteral("Restore cancelled.")
                                       : QStringLiteral("Restore finished."));
    for (const QString& line : RestoreLogText::restoreLines(m_restoring, report))
        Q_EMIT activityReported(line);
    tell(RestoreMessages::reportText(report));
}

void RestoreWindow::showVerifyResult(const ArchiveVerify::Result& result) {
    setBusy(false);
    m_status->setText(result.damaged.empty()
                          ? QStringLiteral("No damaged entries.")
                          : QStringLiteral("Damaged entries: %1").arg(result.damaged.size()));
    for (const QString& line : RestoreLogText::verifyLines(m_verifiedName, result))
        Q_EMIT activityReported(line);
    if (m_contents->contents() != nullptr && m_contents->contents()->path() == m_verifiedPath)
        m_contents->setDamaged(result.damagedEntries);
    tell(RestoreMessages::verifyText(m_verifiedName, result));
}

void RestoreWindow::setBusy(bool busy) {
    m_progress->setValue(0);
    m_progress->setVisible(busy);
    m_btCancel->setVisible(busy);
    for (QPushButton* b : {m_btRefresh, m_btVerify, m_btRestore, m_btRestoreTo})
        b->setEnabled(!busy);
}

void RestoreWindow::closeEvent(QCloseEvent* event) {
    m_worker->cancel();
    QWidget::closeEvent(event);
}
