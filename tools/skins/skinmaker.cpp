// Draws the skin pictures of the three windows and writes them as JPEG pieces: each
// window's frame is drawn once at a comfortable size and cut into its nine pieces.
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QMargins>
#include <QPainter>
#include <QRect>

#include <cstdio>
#include <functional>

namespace {

const QColor kSlate(0x3b, 0x5b, 0x85);
const QColor kSlateLight(0x4a, 0x6d, 0x9c);
const QColor kSlateDark(0x2f, 0x4a, 0x6d);
const QColor kBackground(0xf4, 0xf6, 0xf9);
const QColor kBackgroundLow(0xea, 0xee, 0xf3);
const QColor kLogEdge(0xc9, 0xd3, 0xdf);

bool writePieces(const QString& folder, const QString& name, const QImage& image, const QMargins& b) {
    const int w = image.width();
    const int h = image.height();
    const int cw = w - b.left() - b.right();
    const int ch = h - b.top() - b.bottom();
    const struct {
        const char* suffix;
        QRect rect;
    } pieces[] = {
        {"tl", {0, 0, b.left(), b.top()}},
        {"t", {b.left(), 0, cw, b.top()}},
        {"tr", {w - b.right(), 0, b.right(), b.top()}},
        {"l", {0, b.top(), b.left(), ch}},
        {"c", {b.left(), b.top(), cw, ch}},
        {"r", {w - b.right(), b.top(), b.right(), ch}},
        {"bl", {0, h - b.bottom(), b.left(), b.bottom()}},
        {"b", {b.left(), h - b.bottom(), cw, b.bottom()}},
        {"br", {w - b.right(), h - b.bottom(), b.right(), b.bottom()}},
    };
    for (const auto& piece : pieces) {
        const QString path = QDir(folder).filePath(name + QLatin1Char('_') + QLatin1String(piece.suffix) +
                                                   QStringLiteral(".jpg"));
        if (!image.copy(piece.rect).save(path, "JPG", 95)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return false;
        }
    }
    return true;
}

QImage draw(const QSize& size, const std::function<void(QPainter&, const QRect&)>& paint) {
    QImage image(size, QImage::Format_RGB32);
    QPainter painter(&image);
    paint(painter, image.rect());
    return image;
}

// The main window: a slate title strip 25 pixels high over a calm light background,
// framed by a thin slate line.
QImage mainFrame(const QMargins& b) {
    return draw({240, 180}, [&](QPainter& p, const QRect& r) {
        QLinearGradient body(0, b.top(), 0, r.height());
        body.setColorAt(0, kBackground);
        body.setColorAt(1, kBackgroundLow);
        p.fillRect(r, body);
        QLinearGradient title(0, 0, 0, b.top());
        title.setColorAt(0, kSlateLight);
        title.setColorAt(1, kSlate);
        p.fillRect(QRect(0, 0, r.width(), b.top()), title);
        p.fillRect(QRect(0, b.top() - 1, r.width(), 1), kSlateDark);
        p.fillRect(QRect(0, 0, 1, r.height()), kSlate);
        p.fillRect(QRect(r.width() - 1, 0, 1, r.height()), kSlate);
        p.fillRect(QRect(0, r.height() - 1, r.width(), 1), kSlate);
    });
}

// The toolbar window: a light strip with a slate block behind the menu button.
QImage toolbarFrame(const QMargins& b) {
    return draw({260, 30}, [&](QPainter& p, const QRect& r) {
        QLinearGradient body(0, 0, 0, r.height());
        body.setColorAt(0, QColor(0xfb, 0xfc, 0xfd));
        body.setColorAt(1, kBackgroundLow);
        p.fillRect(r, body);
        QLinearGradient block(0, 0, 0, r.height());
        block.setColorAt(0, kSlateLight);
        block.setColorAt(1, kSlate);
        p.fillRect(QRect(0, 0, b.left(), r.height()), block);
        p.setPen(kSlate);
        p.drawRect(r.adjusted(0, 0, -1, -1));
    });
}

// The log viewer: white paper inside a thin grey line.
QImage logFrame() {
    return draw({120, 80}, [](QPainter& p, const QRect& r) {
        p.fillRect(r, Qt::white);
        p.setPen(kLogEdge);
        p.drawRect(r.adjusted(0, 0, -1, -1));
    });
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: skinmaker <skins folder>\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(folder);
    const QMargins mainBorders(6, 25, 6, 6);
    const QMargins toolbarBorders(28, 3, 3, 3);
    const QMargins logBorders(10, 10, 10, 10);
    const bool ok =
        writePieces(folder, QStringLiteral("main"), mainFrame(mainBorders), mainBorders) &&
        writePieces(folder, QStringLiteral("toolbar"), toolbarFrame(toolbarBorders), toolbarBorders) &&
        writePieces(folder, QStringLiteral("log"), logFrame(), logBorders);
    return ok ? 0 : 1;
}
