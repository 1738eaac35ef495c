#pragma once

#include <QObject>

class QTreeView;

// Keeps one column of a tree view (the names, say) at least a share of the view's width: the other
// columns take the width of their contents while that leaves enough, and give way (their texts
// shortened) when it does not. The main column stretches over the rest. Owned by the view.
class ColumnShare : public QObject {
    Q_OBJECT
public:
    static void keep(QTreeView* view, int mainColumn, double mainShare = 0.5);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    ColumnShare(QTreeView* view, int mainColumn, double mainShare);
    void scheduleShare();
    void share();
    int contentWidth(int column) const;

    QTreeView* m_view;
    int m_mainColumn;
    double m_mainShare;
    bool m_scheduled = false;
};
