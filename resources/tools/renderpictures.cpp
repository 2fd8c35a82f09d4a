// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Renders the SVG sources in resources/src to the PNGs the manager compiles in,
// and optionally a contact sheet for eyeballing them together.

#include <QColor>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QRectF>
#include <QStringList>
#include <QSvgRenderer>
#include <QTextStream>

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

struct Picture {
    const char *source; // under src/
    const char *output; // under the resources folder, also the path in the resource tree
    int width;
    int height;
};

// Every compiled-in picture. The green bullet is used both as a GPS status and as
// the generic "good" icon, so its source is rendered twice.
const Picture pictures[] = {
    {"gauge.svg", "gauge/img/gauge.png", 359, 356},
    {"needle.svg", "gauge/img/needle.png", 359, 356},
    {"lumenquill.svg", "icons/LumenquillIco.png", 252, 252},
    {"model-100.svg", "icons/100Ico.png", 252, 252},
    {"model-1g.svg", "icons/1GIco.png", 252, 252},
    {"model-1gplus.svg", "icons/1GPlusIco.png", 252, 252},
    {"model-10g.svg", "icons/10GIco.png", 252, 252},
    {"model-10gplus.svg", "icons/10GPlusIco.png", 252, 252},
    {"vistagrove.svg", "icons/VistaGrove.png", 500, 500},
    {"bullet-green.svg", "icons/green.png", 32, 32},
    {"bullet-green.svg", "gps/green.png", 32, 32},
    {"bullet-yellow.svg", "gps/yellow.png", 32, 32},
    {"bullet-red.svg", "gps/red.png", 32, 32},
    {"bullet-grey.svg", "gps/grey.png", 32, 32},
    {"warning.svg", "images/warning.png", 512, 512},
    {"disconnected.svg", "images/disconnected.png", 128, 128},
};

// Where the gauge turns its needle, in dial pixels, and how: the manager rotates
// the needle picture by (value - 1) * 0.93 degrees clockwise.
const QPointF gaugePivot(287, 299);
double needleAngle(int value)
{
    return (value - 1) * 0.93;
}

QStringList svgWarnings;

// QSvgRenderer reports unsupported elements and attributes as warnings and then
// silently draws something else. We want to hear about those, so collect them.
void collectWarnings(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type != QtDebugMsg && type != QtInfoMsg)
        svgWarnings << message;
    if (type == QtFatalMsg) {
        std::fprintf(stderr, "%s\n", qPrintable(message));
        std::abort();
    }
    Q_UNUSED(context);
}

bool touchesEdge(const QImage &image)
{
    const int w = image.width();
    const int h = image.height();
    for (int x = 0; x < w; ++x)
        if (qAlpha(image.pixel(x, 0)) || qAlpha(image.pixel(x, h - 1)))
            return true;
    for (int y = 0; y < h; ++y)
        if (qAlpha(image.pixel(0, y)) || qAlpha(image.pixel(w - 1, y)))
            return true;
    return false;
}

// The name Qt looks for on a screen of that many device pixels per pixel:
// "gauge.png" at 2 is "gauge@2x.png".
QString atScale(const QString &name, int scale)
{
    if (scale == 1)
        return name;
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    return name.left(dot) + QStringLiteral("@%1x").arg(scale) + name.mid(dot);
}

// The application icon for the desktop's hicolor theme, one PNG per size the
// menus and docks ask for. Unlike the compiled-in pictures these fill their
// square to the edge, as icon themes expect.
const int iconSizes[] = {16, 22, 24, 32, 48, 64, 128, 256, 512};
const char iconSource[] = "lumenquill.svg";
const char iconName[] = "org.lumenquill.Manager.png";

bool render(const Picture &picture, const QDir &sources, const QDir &outputs, QTextStream &err, int scale = 1,
            bool edgeFree = true)
{
    const QString source = sources.filePath(QString::fromLatin1(picture.source));
    const QString output = outputs.filePath(atScale(QString::fromLatin1(picture.output), scale));

    svgWarnings.clear();
    QSvgRenderer svg(source);
    if (!svg.isValid()) {
        err << source << ": not a readable SVG file\n";
        return false;
    }
    const QRectF box = svg.viewBoxF();
    const double wanted = double(picture.width) / picture.height;
    if (std::abs(box.width() / box.height() - wanted) > 0.002) {
        err << source << ": view box " << box.width() << " x " << box.height() << " does not have the shape of "
            << picture.width << " x " << picture.height << "\n";
        return false;
    }

    const int width = picture.width * scale;
    const int height = picture.height * scale;
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing | QPainter::SmoothPixmapTransform);
        svg.render(&painter, QRectF(0, 0, width, height));
    }
    if (!svgWarnings.isEmpty()) {
        err << source << ": " << svgWarnings.join(QStringLiteral("; ")) << "\n";
        return false;
    }
    image = image.convertToFormat(QImage::Format_ARGB32);
    if (edgeFree && touchesEdge(image)) {
        err << source << ": the drawing reaches the edge of the picture and would look clipped\n";
        return false;
    }
    QDir().mkpath(QFileInfo(output).absolutePath());
    if (!image.save(output, "PNG")) {
        err << output << ": cannot write\n";
        return false;
    }
    return true;
}

// ---- contact sheet ------------------------------------------------------------

class Sheet {
public:
    Sheet(const QDir &outputs, QPainter &painter) : m_outputs(outputs), m_painter(painter) {}

    QImage load(const char *name) const
    {
        QImage image(m_outputs.filePath(QString::fromLatin1(name)));
        if (image.isNull())
            std::fprintf(stderr, "preview: %s is missing, render the pictures first\n", name);
        return image;
    }

    void draw(const QImage &image, const QPointF &at, double width)
    {
        if (image.isNull())
            return;
        // Scale the way a QIcon or a QLabel with scaled contents does.
        const QImage scaled = image.scaledToWidth(qRound(width), Qt::SmoothTransformation);
        m_painter.drawImage(at, scaled);
    }

    // The dial with the needle drawn as the gauge widget draws it.
    void gauge(const QPointF &at, double width, int value)
    {
        const QImage dial = load("gauge/img/gauge.png");
        const QImage needle = load("gauge/img/needle.png");
        if (dial.isNull() || needle.isNull())
            return;
        QImage composed(dial.size(), QImage::Format_ARGB32_Premultiplied);
        composed.fill(Qt::transparent);
        {
            QPainter p(&composed);
            p.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
            p.drawImage(0, 0, dial);
            p.translate(gaugePivot);
            p.rotate(needleAngle(value));
            p.translate(-gaugePivot);
            p.drawImage(0, 0, needle);
        }
        draw(composed, at, width);
        m_painter.setPen(m_text);
        m_painter.drawText(QRectF(at.x(), at.y() + width * 356 / 359 + 2, width, 18), Qt::AlignHCenter,
                           QStringLiteral("value %1").arg(value));
    }

    void setTextColor(const QColor &color) { m_text = color; }

private:
    QDir m_outputs;
    QPainter &m_painter;
    QColor m_text = Qt::black;
};

bool preview(const QDir &outputs, const QString &file)
{
    const char *devices[] = {"icons/LumenquillIco.png", "icons/100Ico.png", "icons/1GIco.png",
                             "icons/1GPlusIco.png",     "icons/10GIco.png", "icons/10GPlusIco.png"};
    const char *small[] = {"icons/green.png", "gps/green.png", "gps/yellow.png", "gps/red.png", "gps/grey.png"};

    const int panelWidth = 1180;
    QImage sheet(panelWidth * 2, 1260, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&sheet);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform | QPainter::TextAntialiasing);
    Sheet s(outputs, painter);

    // The same layout on a light and on a dark window background.
    const QColor backgrounds[] = {QColor(0xf3, 0xf4, 0xf6), QColor(0x2b, 0x2f, 0x36)};
    const QColor texts[] = {QColor(0x30, 0x30, 0x30), QColor(0xe0, 0xe0, 0xe0)};
    for (int panel = 0; panel < 2; ++panel) {
        const double x0 = panel * panelWidth;
        painter.fillRect(QRectF(x0, 0, panelWidth, sheet.height()), backgrounds[panel]);
        s.setTextColor(texts[panel]);

        const int values[] = {0, 50, 100};
        for (int i = 0; i < 3; ++i)
            s.gauge(QPointF(x0 + 20 + i * 380, 20), 359, values[i]);
        for (int i = 0; i < 3; ++i)
            s.gauge(QPointF(x0 + 20 + i * 170, 420), 150, values[i]);
        for (int i = 0; i < 3; ++i)
            s.gauge(QPointF(x0 + 540 + i * 110, 420), 100, values[i]);

        double y = 620;
        for (int i = 0; i < 6; ++i)
            s.draw(s.load(devices[i]), QPointF(x0 + 20 + i * 140, y), 128);
        y += 150;
        for (int i = 0; i < 6; ++i) {
            s.draw(s.load(devices[i]), QPointF(x0 + 20 + i * 140, y), 48);
            s.draw(s.load(devices[i]), QPointF(x0 + 80 + i * 140, y), 32);
            s.draw(s.load(devices[i]), QPointF(x0 + 20 + i * 140, y + 60), 24);
            s.draw(s.load(devices[i]), QPointF(x0 + 54 + i * 140, y + 60), 16);
        }
        // A combo box row: icon at 20 px next to its text.
        y += 100;
        const char *names[] = {"LumenQuill", "100", "1G", "1G+", "10G", "10G GPS"};
        for (int i = 0; i < 6; ++i) {
            s.draw(s.load(devices[i]), QPointF(x0 + 20 + i * 140, y), 20);
            painter.setPen(texts[panel]);
            painter.drawText(QPointF(x0 + 46 + i * 140, y + 15), QString::fromLatin1(names[i]));
        }
        y += 40;
        for (int i = 0; i < 5; ++i) {
            s.draw(s.load(small[i]), QPointF(x0 + 20 + i * 50, y), 32);
            s.draw(s.load(small[i]), QPointF(x0 + 28 + i * 50, y + 40), 16);
        }
        s.draw(s.load("images/warning.png"), QPointF(x0 + 280, y), 128);
        s.draw(s.load("images/warning.png"), QPointF(x0 + 420, y), 48);
        s.draw(s.load("images/disconnected.png"), QPointF(x0 + 480, y), 128);
        s.draw(s.load("images/disconnected.png"), QPointF(x0 + 620, y), 48);
        s.draw(s.load("images/disconnected.png"), QPointF(x0 + 680, y), 24);
        s.draw(s.load("icons/VistaGrove.png"), QPointF(x0 + 720, y), 250);
        s.draw(s.load("icons/VistaGrove.png"), QPointF(x0 + 990, y), 96);
        s.draw(s.load("icons/VistaGrove.png"), QPointF(x0 + 990, y + 110), 48);
    }
    painter.end();
    if (!sheet.save(file, "PNG")) {
        std::fprintf(stderr, "preview: cannot write %s\n", qPrintable(file));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    // Text in the pictures needs fonts, not a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Renders resources/src/*.svg to the compiled-in PNG pictures under <resources>."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("resources"), QStringLiteral("The resources folder."));
    const QCommandLineOption previewOption(QStringLiteral("preview"),
                                           QStringLiteral("Also write a contact sheet of the pictures to <file>."),
                                           QStringLiteral("file"));
    const QCommandLineOption onlyPreviewOption(QStringLiteral("preview-only"),
                                               QStringLiteral("Write the contact sheet without rendering."));
    const QCommandLineOption iconsOption(
        QStringLiteral("icons"),
        QStringLiteral("Also render the application icon into the hicolor theme under <folder>."),
        QStringLiteral("folder"));
    parser.addOption(previewOption);
    parser.addOption(onlyPreviewOption);
    parser.addOption(iconsOption);
    parser.process(app);
    if (parser.positionalArguments().size() != 1)
        parser.showHelp(2);

    const QDir outputs(parser.positionalArguments().constFirst());
    const QDir sources(outputs.filePath(QStringLiteral("src")));

    QTextStream err(stderr);
    bool ok = true;
    if (!parser.isSet(onlyPreviewOption)) {
        qInstallMessageHandler(collectWarnings);
        // Each picture also at twice its size, which Qt takes on screens of
        // 200 % and more instead of blowing the small one up.
        for (const Picture &picture : pictures) {
            ok = render(picture, sources, outputs, err) && ok;
            ok = render(picture, sources, outputs, err, 2) && ok;
        }
        if (parser.isSet(iconsOption)) {
            const QDir theme(parser.value(iconsOption));
            for (int size : iconSizes) {
                const QByteArray output = QStringLiteral("%1x%1/apps/").arg(size).toLatin1() + iconName;
                const Picture icon{iconSource, output.constData(), size, size};
                ok = render(icon, sources, theme, err, 1, false) && ok;
            }
        }
        qInstallMessageHandler(nullptr);
    }
    if (parser.isSet(previewOption))
        ok = preview(outputs, parser.value(previewOption)) && ok;
    return ok ? 0 : 1;
}
