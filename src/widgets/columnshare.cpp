#include "widgets/columnshare.h"

#include <QEvent>
#include <QHeaderView>
#include <QTimer>
#include <QTreeView>

#include <algorithm>
#include <vector>

ColumnShare::ColumnShare(QTreeView* view, int mainColumn, double mainShare)
    : QObject(view)
    , m_view(view)
    , m_mainColumn(mainColumn)
    , m_mainShare(mainShare) {
    QHeaderView* header = view->header();
    header->setStretchLastSection(false);
    for (int column = 0; column < header->count(); ++column)
        header->setSectionResizeMode(column,
                                     column == mainColumn ? QHeaderView::Stretch : QHeaderView::Interactive);
    view->viewport()->installEventFilter(this);
    connect(view, &QTreeView::expanded, this, &ColumnShare::scheduleShare);
    if (QAbstractItemModel* model = view->model()) {
        connect(model, &QAbstractItemModel::rowsInserted, this, &ColumnShare::scheduleShare);
        connect(model, &QAbstractItemModel::modelReset, this, &ColumnShare::scheduleShare);
        connect(model, &QAbstractItemModel::dataChanged, this, &ColumnShare::scheduleShare);
    }
}

void ColumnShare::keep(QTreeView* view, int mainColumn, double mainShare) {
    new ColumnShare(view, mainColumn, mainShare);
}

bool ColumnShare::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Resize)
        share();
    return QObject::eventFilter(watched, event);
}

void ColumnShare::scheduleShare() {
    // Rows come in batches: the widths are worked out once the batch is in.
    if (m_scheduled)
        return;
    m_scheduled = true;
    QTimer::singleShot(0, this, [this] {
        m_scheduled = false;
        share();
    });
}

int ColumnShare::contentWidth(int column) const {
    QHeaderView* header = m_view->header();
    const QHeaderView::ResizeMode mode = header->sectionResizeMode(column);
    if (mode == QHeaderView::Stretch)
        header->setSectionResizeMode(column, QHeaderView::Interactive);
    m_view->resizeColumnToContents(column);
    const int width = header->sectionSize(column);
    header->setSectionResizeMode(column, mode);
    return width;
}

void ColumnShare::share() {
    QHeaderView* header = m_view->header();
    std::vector<int> wanted(static_cast<std::size_t>(header->count()), 0);
    int others = 0;
    for (int column = 0; column < header->count(); ++column) {
        if (column == m_mainColumn || header->isSectionHidden(column))
            continue;
        wanted[static_cast<std::size_t>(column)] = contentWidth(column);
        others += wanted[static_cast<std::size_t>(column)];
    }
    // The main column keeps its share, or less when its contents need less; the others take the
    // rest, all they want when it is enough.
    const int viewport = m_view->viewport()->width();
    const int mainFloor = std::min(contentWidth(m_mainColumn), static_cast<int>(viewport * m_mainShare));
    const int room = std::max(0, viewport - mainFloor);
    for (int column = 0; column < header->count(); ++column) {
        const int width = wanted[static_cast<std::size_t>(column)];
        if (width > 0)
            header->resizeSection(column, others > room ? width * room / others : width);
    }
}
