#pragma once

#include "restore/archivecache.h"
#include "restore/restoreworker.h"

#include <QWidget>

#include <filesystem>
#include <functional>

class BackupListView;
class ContentsView;
class PathLabel;
class QLabel;
class QLineEdit;
class QProgressBar;
class QSplitter;
class QPushButton;
class QStackedWidget;
class QTimer;
class SearchResultsView;
class UserPrompts;

// The restore window: the backups in the destination, one backup's contents as a folder tree,
// a search across all backups, and restoring the chosen files to their original place or to a
// chosen folder. Owns its views and the worker that restores and verifies.
class RestoreWindow : public QWidget {
    Q_OBJECT
public:
    using DestinationSource = std::function<std::filesystem::path()>;
    using FolderOpener = std::function<void(const std::filesystem::path&)>;

    RestoreWindow(DestinationSource destination, UserPrompts& prompts, FolderOpener openFolder,
                  QWidget* parent = nullptr);
    ~RestoreWindow() override;

    // Lists the destination again and brings the window to the front.
    void showRestore();
    // Lists the backups of the destination again.
    void refresh();
    // Replaces the question asked when a file exists (tests answer it from a script).
    void setOverwriteQuestion(RestoreWorker::OverwriteAsk ask) { m_overwriteAsk = std::move(ask); }

    BackupListView* backupList() const { return m_backups; }
    RestoreWorker* worker() const { return m_worker; }

Q_SIGNALS:
    // A line for the activity log: how a restore or a verification went.
    void activityReported(const QString& line);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void btOpenDestinationClick();
    void btRestoreClick();
    void btRestoreToClick();
    void btVerifyClick();
    void btCancelClick();
    void backupChosen();
    void runSearch();
    void startRestore(RestoreRequest request);
    void workerProgress(quint64 done, quint64 total, const QString& name);
    void showRestoreResult(const RestoreReport& report);
    void showVerifyResult(const ArchiveVerify::Result& result);
    // False (and the user told) when nothing is selected.
    bool fillRequest(RestoreRequest& request);
    void setBusy(bool busy);
    void placeFirstTime();
    // A notice that belongs to this window.
    void tell(const QString& text);

    DestinationSource m_destination;
    UserPrompts& m_prompts;
    FolderOpener m_openFolder;
    RestoreWorker::OverwriteAsk m_overwriteAsk;
    RestoreRequest m_restoring; // what the running restore restores from where to where, without its items
    ArchiveCache m_cache;
    RestoreWorker* m_worker;

    bool m_placed = false;
    PathLabel* m_destinationLabel;
    QLineEdit* m_search;
    QTimer* m_searchDelay;
    BackupListView* m_backups;
    QSplitter* m_splitter;
    QStackedWidget* m_pages;
    ContentsView* m_contents;
    SearchResultsView* m_results;
    QLabel* m_status;
    QProgressBar* m_progress;
    QPushButton* m_btRefresh;
    QPushButton* m_btOpenDestination;
    QPushButton* m_btVerify;
    QPushButton* m_btRestore;
    QPushButton* m_btRestoreTo;
    QPushButton* m_btCancel;
    QString m_verifiedName;
    std::filesystem::path m_verifiedPath;
};
