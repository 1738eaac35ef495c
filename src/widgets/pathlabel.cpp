#include "widgets/pathlabel.h"

#include "widgets/shortenedpath.h"

PathLabel::PathLabel(QWidget* parent)
    : QLabel(parent) {
    setTextFormat(Qt::PlainText);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
}

void PathLabel::setPath(const QString& path) {
    m_path = path;
    setToolTip(path);
    showFitted();
}

QSize PathLabel::minimumSizeHint() const {
    return QSize(0, QLabel::minimumSizeHint().height());
}

void PathLabel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    showFitted();
}

void PathLabel::showFitted() {
    setText(ShortenedPath::fit(m_path, fontMetrics(), contentsRect().width()));
}
