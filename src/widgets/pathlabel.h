#pragma once

#include <QLabel>

// A label that shows a path shortened to its width (see ShortenedPath), the whole path in its
// tooltip. It asks for no width of its own, so a long path never widens its window.
class PathLabel : public QLabel {
    Q_OBJECT
public:
    explicit PathLabel(QWidget* parent = nullptr);

    void setPath(const QString& path);
    QString path() const { return m_path; }
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void showFitted();

    QString m_path;
};
