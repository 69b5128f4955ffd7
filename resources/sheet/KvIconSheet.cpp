// Contact sheet of the program's artwork: every compiled-in image drawn the
// way the window uses it, on a light and on a dark background, written to a
// PNG. Run with QT_SCALE_FACTOR=2 for the view of a high-density screen.
// Painted straight into an image, so it needs no widgets.
//   kv_icon_sheet OUTPUT.png
#include "KvResources.h"

#include <QDirIterator>
#include <QFileInfo>
#include <QGuiApplication>
#include <QIcon>
#include <QPainter>
#include <QPixmap>

#include <algorithm>

namespace {

const QColor kLight(0xef, 0xef, 0xef);
const QColor kDark(0x35, 0x35, 0x35);
constexpr int kColumns = 6;
constexpr int kTileWidth = 210;
constexpr int kPad = 8;

enum class Kind { Icon, Label, Guide, Cursor, Logo };

struct Tile
{
    QString path;
    Kind kind;
    int height; // of one background strip
};

Kind kindOf(const QString &name)
{
    if (name.startsWith(QLatin1String("playback_")))
        return Kind::Label;
    if (name.contains(QLatin1String("_guide")))
        return Kind::Guide;
    if (name.startsWith(QLatin1String("sel_adjust")) || name.endsWith(QLatin1String("_scrub.png")))
        return Kind::Cursor;
    if (name == QLatin1String("mp3Morvelta_512.png"))
        return Kind::Logo;
    return Kind::Icon;
}

QList<Tile> collectTiles()
{
    QStringList paths;
    for (const QString &root : {QStringLiteral(":/Resources"), QStringLiteral(":/Qml")}) {
        QDirIterator it(root, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext())
            paths << it.next();
    }
    std::sort(paths.begin(), paths.end());
    QList<Tile> tiles;
    for (const QString &path : paths) {
        const QString name = QFileInfo(path).fileName();
        // A 2x variant is shown through its base file, which Qt pairs it with.
        if (name.contains(QLatin1String("@2x"))) {
            QString base = path;
            base.remove(QLatin1String("@2x"));
            if (paths.contains(base))
                continue;
        }
        const Kind kind = kindOf(name);
        int height = 44;
        if (kind == Kind::Logo)
            height = 140;
        else if (kind == Kind::Icon && QPixmap(path).width() > 40)
            height = 84;
        tiles << Tile{path, kind, height};
    }
    return tiles;
}

class Sheet
{
public:
    Sheet() : m_tiles(collectTiles())
    {
        int y = kPad;
        for (int i = 0; i < m_tiles.size(); i += kColumns) {
            int rowHeight = 0;
            for (int j = i; j < std::min<int>(i + kColumns, m_tiles.size()); ++j)
                rowHeight = std::max(rowHeight, m_tiles[j].height);
            m_rowTop << y;
            m_rowHeight << rowHeight;
            y += 18 + 2 * rowHeight + kPad;
        }
        m_size = QSize(kPad + kColumns * (kTileWidth + kPad), y);
    }

    // At the screen's pixel ratio, as the window would show it.
    QImage render() const
    {
        const qreal ratio = qApp->devicePixelRatio();
        QImage image(m_size * ratio, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(ratio);
        image.fill(Qt::white);
        QPainter p(&image);
        QFont small = p.font();
        small.setPixelSize(11);
        p.setFont(small);
        for (int i = 0; i < m_tiles.size(); ++i) {
            const int row = i / kColumns;
            const int x = kPad + (i % kColumns) * (kTileWidth + kPad);
            const int y = m_rowTop[row];
            const int h = m_rowHeight[row];
            p.setPen(Qt::black);
            p.drawText(QRect(x, y, kTileWidth, 16), Qt::AlignLeft | Qt::AlignVCenter,
                       m_tiles[i].path.mid(2));
            drawTile(p, m_tiles[i], QRect(x, y + 18, kTileWidth, h), kLight);
            drawTile(p, m_tiles[i], QRect(x, y + 18 + h, kTileWidth, h), kDark);
        }
        return image;
    }

private:
    static void drawTile(QPainter &p, const Tile &tile, const QRect &r, const QColor &background)
    {
        p.fillRect(r, background);
        int x = r.x() + 6;
        const int mid = r.center().y();
        switch (tile.kind) {
        case Kind::Icon: {
            // Menus (16), the edit and options tool bars (24), the other tool
            // bars (32) and the icon's own size when larger.
            const QIcon icon(tile.path);
            const int own = QPixmap(tile.path).width();
            QList<int> sizes{16, 24, 32};
            if (own > 32 && !tile.path.contains(QLatin1String("@2x")))
                sizes << own;
            for (int s : sizes) {
                icon.paint(&p, QRect(x, mid - s / 2, s, s));
                x += s + 10;
            }
            break;
        }
        case Kind::Label: {
            // As an icon label shows its pixmap: unscaled, at the file's ratio.
            const QPixmap pixmap(tile.path);
            const QSize logical = pixmap.size() / pixmap.devicePixelRatio();
            p.drawPixmap(QRect(QPoint(x, mid - logical.height() / 2), logical), pixmap);
            break;
        }
        case Kind::Guide: {
            // On the bubble's colour, drawn into its 16 x 16 button rectangle.
            const bool notice = tile.path.contains(QLatin1String("close_guide"));
            QColor bubble = notice ? QColor(129, 247, 243) : QColor(170, 220, 130);
            if (background == kDark) {
                qreal hue, saturation, lightness, alpha;
                bubble.getHslF(&hue, &saturation, &lightness, &alpha);
                bubble = QColor::fromHslF(hue, saturation, 1.0 - lightness, alpha);
            }
            p.fillRect(QRect(x, r.y() + 4, 120, r.height() - 8), bubble);
            const QPixmap pixmap(tile.path);
            p.drawPixmap(QRect(x + 10, mid - 8, 16, 16), pixmap);
            p.save();
            p.setRenderHint(QPainter::SmoothPixmapTransform);
            p.drawPixmap(QRect(x + 40, mid - 8, 16, 16), pixmap);
            p.restore();
            p.drawPixmap(QRect(x + 70, mid - 16, 32, 32), pixmap);
            break;
        }
        case Kind::Cursor: {
            // Pixel for pixel; the red dot marks the hot spot.
            const QPixmap pixmap(tile.path);
            const QString name = QFileInfo(tile.path).fileName();
            QPoint hot(pixmap.width() / 2, pixmap.height() / 2);
            if (name == QLatin1String("arrow_scrub.png"))
                hot = QPoint(1, 2);
            else if (name.endsWith(QLatin1String("hand_scrub.png")))
                hot = QPoint(11, 11);
            const QPoint topLeft(x, mid - pixmap.height() / 2);
            p.drawPixmap(topLeft, pixmap);
            p.fillRect(QRect(topLeft + hot, QSize(1, 1)), Qt::red);
            break;
        }
        case Kind::Logo: {
            // As the About box shows it: 128 high, scaled smoothly for the screen.
            const qreal ratio = p.device()->devicePixelRatioF();
            QPixmap logo = QPixmap(tile.path).scaledToHeight(int(128 * ratio), Qt::SmoothTransformation);
            logo.setDevicePixelRatio(ratio);
            p.drawPixmap(x, mid - 64, logo);
            break;
        }
        }
    }

    QList<Tile> m_tiles;
    QList<int> m_rowTop;
    QList<int> m_rowHeight;
    QSize m_size;
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QGuiApplication app(argc, argv);
    kvInitResources();
    if (argc != 2) {
        qWarning("usage: kv_icon_sheet OUTPUT.png");
        return 2;
    }
    return Sheet().render().save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
}
